// Fuzz target of the MIDI importer: any bytes are imported or refused without a fault, within
// the fuzzer's time and memory limits, on grids of every size; an imported score survives being
// written as a .seq file and read again.
#include "fuzz_util.h"

#include "files/midi_imp.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    return fuzz_start_library();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string in = fuzz_scratch_path("in.mid");
    static const std::string again = fuzz_scratch_path("again.seq");
    // The import grid is a power of two from 1 to 256; the last byte of the input picks it.
    midi_atom = size ? 1 << (data[size - 1] % 9) : 4;
    midi_grid = size > 1 && (data[size - 2] & 1) ? MIDI_GRID_EXACT : MIDI_GRID_AUTO;
    fuzz_write_file(in, data, size);
    init_g_score();
    if (midi_import(in.c_str(), &g_score)) {
        fuzz_check_invariants("the MIDI reader accepted a broken score");
        fuzz_check_round_trip(again);
    }
    destroy_score(&g_score);
    return 0;
}
