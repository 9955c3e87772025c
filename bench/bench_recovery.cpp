// Cost of one recovery copy of the dense score (32 tracks, 200 measures, about 20 notes per
// track and measure): the text the main loop makes in memory, and the whole copy written to a
// temporary file, synced and renamed into place, as the editor's writer thread does. The copy goes
// to a directory on disk (/var/tmp unless PLINKEL_BENCH_DIR names another), where the sync really
// costs.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bench_util.h"
#include "files/recovery.h"
#include "model/seq.h"

namespace {

constexpr int TRACKS = 32;
constexpr int MEASURES = 200;
constexpr int REASON_SIZE = 256;

std::string bench_dir() {
    const char *d = std::getenv("PLINKEL_BENCH_DIR");
    return std::string(d ? d : "/var/tmp") + "/plinkel_bench_recovery";
}

void build_score() {
    build_dense_score(TRACKS, MEASURES);
    score_expand_by_measure(&g_score);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
}

// What the main loop spends: the text of the copy, made in memory.
void BM_RecoveryTextOfDenseScore(benchmark::State &state) {
    build_score();
    recovery_owner self = recovery_self();
    for (auto _ : state)
        benchmark::DoNotOptimize(recovery_text("/music/dense.seq", self, &g_score));
}
BENCHMARK(BM_RecoveryTextOfDenseScore)->Unit(benchmark::kMillisecond);

// The whole copy: text, temporary file, sync, rename (the last three on the writer's thread).
void BM_RecoveryCopyOfDenseScore(benchmark::State &state) {
    build_score();
    std::string dir = bench_dir();
    make_recovery_dir(dir.c_str());
    recovery_owner self = recovery_self();
    std::string copy = recovery_copy_path(dir.c_str(), "/music/dense.seq", self);
    char why[REASON_SIZE];
    for (auto _ : state)
        if (!write_recovery_copy(copy.c_str(), "/music/dense.seq", self, &g_score, why, sizeof why))
            state.SkipWithError(why);
    struct stat st;
    if (stat(copy.c_str(), &st) == 0)
        state.counters["bytes"] = static_cast<double>(st.st_size);
    unlink(copy.c_str());
    rmdir(dir.c_str());
}
BENCHMARK(BM_RecoveryCopyOfDenseScore)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
