// Fuzz target of the MusicXML reader: any bytes are read or refused without a fault, within the
// fuzzer's time and memory limits. An accepted score survives the .seq round trip, and when it
// is small enough to keep the run fast, also being written as MusicXML and read back.
#include "fuzz_util.h"

#include "files/musicxml_read.h"
#include "files/musicxml_write.h"
#include "model/score.h"

namespace {

constexpr int MAX_MEASURE_TRACKS = 2000; // measures x tracks of a score written back as MusicXML

int small_score() {
    int measures = 0;
    for (const measure *m = g_score.measures.head; m; m = m->next)
        measures++;
    return measures * track_num <= MAX_MEASURE_TRACKS;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    return fuzz_start_library();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string in = fuzz_scratch_path("in.musicxml");
    static const std::string out = fuzz_scratch_path("out.musicxml");
    static const std::string again = fuzz_scratch_path("again.seq");
    fuzz_write_file(in, data, size);
    init_g_score();
    if (read_musicxml(in.c_str(), &g_score)) {
        fuzz_check_invariants("the MusicXML reader accepted a broken score");
        if (small_score())
            fuzz_check_round_trip(out, write_musicxml, read_musicxml);
        fuzz_check_round_trip(again);
    }
    destroy_score(&g_score);
    return 0;
}
