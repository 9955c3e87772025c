// Speed of the text exporters against reading: the largest openmsx song imported at grid 48,
// then written as LilyPond; and the PIC16 compression of a long music table of repeated
// phrases.
#include <allegro.h>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <random>

#include "editor/interface.h"
#include "files/file_support.h"
#include "files/lilypond.h"
#include "files/midi_imp.h"
#include "files/pic16.h"

namespace {

const char *const LARGEST_OPENMSX = "/usr/share/games/openttd/baseset/openmsx/keep_on_rolling.mid";
const char *const LY_OUT_PATH = "/tmp/plinkel_bench_out.ly";
constexpr int GRID_48_ATOM = 16; // 48 ticks = 3 x 16
constexpr int MUSIC_BYTES = 3000;

int import_song() {
    destroy_score(&g_score);
    init_g_score();
    midi_atom = GRID_48_ATOM;
    return midi_import(LARGEST_OPENMSX, &g_score);
}

void BM_ImportLargestOpenmsxGrid48(benchmark::State &state) {
    for (auto _ : state)
        if (!import_song())
            state.SkipWithError("import failed");
}

void BM_WriteLilyPondLargestOpenmsx(benchmark::State &state) {
    if (!import_song()) {
        state.SkipWithError("import failed");
        return;
    }
    for (auto _ : state)
        if (!write_lilypond(LY_OUT_PATH, &g_score))
            state.SkipWithError("write failed");
}

// A tune of eight-byte phrases chosen at random from twenty.
void BM_CompressMusicTable(benchmark::State &state) {
    std::mt19937 rng(5);
    std::vector<unsigned char> phrases[20];
    for (auto &p : phrases)
        for (int k = 0; k < 8; k++)
            p.push_back(static_cast<unsigned char>(rng() % 40));
    std::vector<unsigned char> tune;
    while (tune.size() < MUSIC_BYTES) {
        const auto &p = phrases[rng() % 20];
        tune.insert(tune.end(), p.begin(), p.end());
    }
    for (auto _ : state) {
        out_buffer = tune;
        n_out_buffer = static_cast<int>(tune.size());
        benchmark::DoNotOptimize(do_compress());
    }
}

} // namespace

BENCHMARK(BM_ImportLargestOpenmsxGrid48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteLilyPondLargestOpenmsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressMusicTable)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return 1;
    file_trace_on = 0;
    init_g_score();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    destroy_score(&g_score);
    return 0;
}
