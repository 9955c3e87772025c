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
constexpr int EDIT_MEASURE = MEASURES / 2;

void expand_and_validate_all() {
    score_expand_by_measure(&g_score);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
}

void BM_ExpandAndValidateScore(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        build_dense_score(TRACKS, MEASURES);
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
        if (!n->rest && !n->l_prev && n->l_next && n->x == DENSE_TIED_START)
            return n;
    return nullptr;
}

void BM_EditCycleOnOneMeasure(benchmark::State &state) {
    build_dense_score(TRACKS, MEASURES);
    expand_and_validate_all();
    measure *m = get_measure_by_pos(&g_score, EDIT_MEASURE);
    note *n = tied_note(m);
    if (!n) {
        state.SkipWithError("no tied note in the edited measure");
        return;
    }
    int len = DENSE_TIED_LEN;
    for (auto _ : state) {
        int before = note_compress_by_measure(m, n);
        len = len == DENSE_TIED_LEN ? DENSE_TIED_LEN + 96 : DENSE_TIED_LEN;
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
