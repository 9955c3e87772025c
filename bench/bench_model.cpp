// Speed of the score model on a dense score (32 tracks, 200 measures, about 20 notes per
// track and measure with chords and ties): expanding and validating the whole score as after
// loading a file, and one edit cycle (compress, change, expand, validate) on one measure.
#include <benchmark/benchmark.h>

#include "bench_util.h"
#include "editor/state.h"
#include "model/seq.h"

namespace {

constexpr int TRACKS = 32;
constexpr int MEASURES = 200;
constexpr int STEP = 48;        // a sixteenth: 16 starts per 4/4 measure
constexpr int TIED_START = 720; // the last note of each track runs over the bar line
constexpr int TIED_LEN = 144;
constexpr int EDIT_MEASURE = MEASURES / 2;

// One track's notes in one measure, compressed as a file holds them: 15 sixteenths, a
// three-note chord on each of the first two beats' first sixteenth, and a note tied over.
void fill_track(measure *m, int track, int base) {
    for (int x = 0; x < TIED_START; x += STEP) {
        add_note(m, x, STEP, base + (x / STEP) % 7, track);
        if (x % 192 == 0 && x < 384) {
            add_note(m, x, 96, base - 5, track);
            add_note(m, x, 240, base - 9, track);
        }
    }
    add_note(m, TIED_START, TIED_LEN, base, track);
}

void build_score() {
    destroy_score(&g_score);
    init_score(&g_score);
    track_num = TRACKS;
    init_track_info();
    update_active_tracks();
    measure *last = nullptr;
    for (int i = 0; i < MEASURES; i++) {
        measure *m = new_measure();
        last = _insert_measure_list(&g_score.measures, last, m);
        for (int t = 0; t < TRACKS; t++)
            fill_track(m, t, (t % 4) * 12 - 12);
    }
    g_score.ref_measure = g_score.measures.head;
}

void expand_and_validate_all() {
    score_expand_by_measure(&g_score);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
}

void BM_ExpandAndValidateScore(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        build_score();
        state.ResumeTiming();
        expand_and_validate_all();
        benchmark::DoNotOptimize(g_score.measures.tail->n_pos);
    }
    state.counters["notes_per_measure"] =
        static_cast<double>(g_score.measures.head->next->notes.num);
}
BENCHMARK(BM_ExpandAndValidateScore)->Unit(benchmark::kMillisecond);

// The first piece of the first note tied over the bar line in the edited measure.
note *tied_note(measure *m) {
    for (note *n = m->notes.head; n; n = n->next)
        if (!n->rest && !n->l_prev && n->l_next && n->x == TIED_START)
            return n;
    return nullptr;
}

void BM_EditCycleOnOneMeasure(benchmark::State &state) {
    build_score();
    expand_and_validate_all();
    measure *m = get_measure_by_pos(&g_score, EDIT_MEASURE);
    note *n = tied_note(m);
    if (!n) {
        state.SkipWithError("no tied note in the edited measure");
        return;
    }
    int len = TIED_LEN;
    for (auto _ : state) {
        int before = note_compress_by_measure(m, n);
        len = len == TIED_LEN ? TIED_LEN + 96 : TIED_LEN;
        n->len = n->total_len = static_cast<int16_t>(len);
        int after = _note_expand_by_measure(&g_score, m, n, 1);
        measure *v = m;
        for (int i = 0; v && i <= before; i++, v = v->next)
            if (i > after)
                validate_measure(v);
        benchmark::DoNotOptimize(m->n_pos);
    }
}
BENCHMARK(BM_EditCycleOnOneMeasure)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
