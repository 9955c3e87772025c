// Fuzz target of the .seq reader: any bytes are loaded or refused without a fault, within the
// fuzzer's time and memory limits, and an accepted file survives being written and read again.
#include "fuzz_util.h"

#include "files/fileio.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    return fuzz_start_library();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string in = fuzz_scratch_path("in.seq");
    static const std::string again = fuzz_scratch_path("again.seq");
    fuzz_write_file(in, data, size);
    init_g_score();
    if (readfile(in.c_str(), &g_score)) {
        fuzz_check_invariants("the .seq reader accepted a broken score");
        fuzz_check_round_trip(again);
    }
    destroy_score(&g_score);
    return 0;
}
