// Speed of the score files: writing and reading a large .seq (32 tracks, 50,000 notes) and
// importing MIDI files (the largest openmsx song and a generated file of about 1 MB with 16
// channels and tempo and signature changes). bench_files.sh puts midicsv beside the imports.
#include <allegro.h>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "editor/interface.h"
#include "files/file_support.h"
#include "files/fileio.h"
#include "files/midi_imp.h"
#include "model/pitch.h"
#include "model/tie.h"
#include "model/voice.h"

namespace {

constexpr int SEQ_TRACKS = 32;
constexpr int SEQ_NOTES = 50000;
constexpr int SEQ_MEASURES = 800;
const char *const SEQ_PATH = "/tmp/plinkel_bench_large.seq";
const char *const SEQ_OUT_PATH = "/tmp/plinkel_bench_out.seq";
const char *const GENERATED_MIDI = "/tmp/plinkel_bench_1mb.mid";
const char *const LARGEST_OPENMSX = "/usr/share/games/openttd/baseset/openmsx/keep_on_rolling.mid";

void build_large_score() {
    init_g_score();
    std::mt19937 rng(1);
    measure *m = g_score.measures.head;
    for (int i = 1; i < SEQ_MEASURES; i++) {
        measure *next = new_measure();
        insert_measure(&g_score, m, next);
        m = next;
    }
    g_score.track_num = SEQ_TRACKS;
    const int lengths[] = {48, 96, 192, 384};
    int per_track = SEQ_NOTES / SEQ_TRACKS;
    for (int t = 0; t < SEQ_TRACKS; t++) {
        int pos = 0;
        for (int k = 0; k < per_track; k++) {
            int len = lengths[rng() % 4];
            measure *at = get_measure_by_pos(&g_score, pos / 768);
            if (!at)
                break;
            note *n = new_note();
            n->x = pos % 768;
            n->pitch = static_cast<int16_t>(static_cast<int>(rng() % 48) - 24);
            n->len = n->total_len = static_cast<int16_t>(len);
            n->track = static_cast<int8_t>(t);
            _insert_sorted_note_list(&at->notes, n, note_comp);
            get_note_pos_y(at, n);
            pos += len;
        }
    }
    score_expand_by_measure(&g_score);
    for (measure *x = g_score.measures.head; x; x = x->next)
        validate_measure(x);
}

void put_var(std::vector<unsigned char> &b, unsigned v) {
    unsigned char g[4];
    int n = 0;
    do {
        g[n++] = v & 0x7F;
        v >>= 7;
    } while (v);
    while (n--)
        b.push_back(static_cast<unsigned char>(g[n] | (n ? 0x80 : 0)));
}

void put32(std::vector<unsigned char> &b, unsigned v) {
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<unsigned char>(v >> s));
}

// A format-1 file: a tempo track with tempo and signature changes, then 16 channels of notes.
void write_generated_midi() {
    std::mt19937 rng(3);
    std::vector<std::vector<unsigned char>> tracks(17);
    for (int bar = 0; bar < 2000; bar++) {
        auto &t = tracks[0];
        put_var(t, bar ? 1920 : 0);
        unsigned us = 400000 + rng() % 300000;
        t.insert(t.end(), {0xFF, 0x51, 0x03, static_cast<unsigned char>(us >> 16),
                           static_cast<unsigned char>(us >> 8), static_cast<unsigned char>(us)});
        if (bar % 16 == 0) {
            put_var(t, 0);
            t.insert(t.end(), {0xFF, 0x58, 0x04, 4, 2, 24, 8});
        }
    }
    for (int c = 0; c < 16; c++) {
        auto &t = tracks[c + 1];
        put_var(t, 0);
        t.insert(t.end(), {static_cast<unsigned char>(0xC0 | c), static_cast<unsigned char>(c)});
        for (int k = 0; k < 8000; k++) {
            unsigned char key = static_cast<unsigned char>(36 + rng() % 48);
            put_var(t, rng() % 2 ? 0 : 240);
            t.insert(t.end(), {static_cast<unsigned char>(0x90 | c), key, 100});
            put_var(t, 120 + rng() % 360);
            t.insert(t.end(), {static_cast<unsigned char>(0x80 | c), key, 0});
        }
    }
    std::vector<unsigned char> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 17, 0x01, 0xE0};
    for (auto &t : tracks) {
        t.insert(t.end(), {0x00, 0xFF, 0x2F, 0x00});
        f.insert(f.end(), {'M', 'T', 'r', 'k'});
        put32(f, static_cast<unsigned>(t.size()));
        f.insert(f.end(), t.begin(), t.end());
    }
    FILE *fp = std::fopen(GENERATED_MIDI, "wb");
    std::fwrite(f.data(), 1, f.size(), fp);
    std::fclose(fp);
}

void BM_WriteSeq(benchmark::State &state) {
    for (auto _ : state)
        if (!writefile(SEQ_OUT_PATH, &g_score))
            state.SkipWithError("write failed");
}

void BM_ReadSeq(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        destroy_score(&g_score);
        init_g_score();
        state.ResumeTiming();
        if (!readfile(SEQ_PATH, &g_score))
            state.SkipWithError("read failed");
    }
}

void import_file(benchmark::State &state, const char *path) {
    for (auto _ : state) {
        state.PauseTiming();
        destroy_score(&g_score);
        init_g_score();
        state.ResumeTiming();
        if (!midi_import(path, &g_score))
            state.SkipWithError("import failed");
    }
}

void BM_ImportLargestOpenmsx(benchmark::State &state) {
    import_file(state, LARGEST_OPENMSX);
}
void BM_ImportGenerated1MB(benchmark::State &state) {
    import_file(state, GENERATED_MIDI);
}

} // namespace

BENCHMARK(BM_WriteSeq)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSeq)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLargestOpenmsx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportGenerated1MB)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return 1;
    file_trace_on = 0;
    build_large_score();
    if (!writefile(SEQ_PATH, &g_score))
        return 1;
    write_generated_midi();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    destroy_score(&g_score);
    return 0;
}
