// Cost of the undo history on the dense score (32 tracks, 200 measures, about 20 notes per
// track and measure with chords and ties): recording one note entry as a step, undoing it, and
// the memory that 200 steps of single-note edits hold.
#include <benchmark/benchmark.h>

#include "bench_util.h"
#include "editor/state.h"
#include "model/seq.h"
#include "model/undo.h"

namespace {

constexpr int TRACKS = 32;
constexpr int MEASURES = 200;
constexpr int EDIT_MEASURE = MEASURES / 2;
constexpr int ENTRY_X = 96; // a free spot for an entered note: between two sixteenths
constexpr int ENTRY_PITCH = 30;
constexpr int STEPS_HELD = 200;
constexpr double MEGABYTE = 1024.0 * 1024.0;

void build_score() {
    build_dense_score(TRACKS, MEASURES);
    score_expand_by_measure(&g_score);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
    undo_reset();
}

// One note entered as the editor enters it, recorded as an undo step.
void enter_note(measure *m, int track) {
    undo_begin(&g_score, "enter note");
    undo_touch_ticks(&g_score, m, ENTRY_X, DENSE_STEP);
    note *n = add_note(m, ENTRY_X, DENSE_STEP, ENTRY_PITCH, track);
    _note_expand_by_measure(&g_score, m, n, 1);
    undo_commit(&g_score, 1);
}

void BM_RecordNoteEntry(benchmark::State &state) {
    build_score();
    measure *m = get_measure_by_pos(&g_score, EDIT_MEASURE);
    for (auto _ : state) {
        enter_note(m, 0);
        state.PauseTiming();
        undo(&g_score);
        m = get_measure_by_pos(&g_score, EDIT_MEASURE);
        state.ResumeTiming();
    }
    state.counters["notes_in_measure"] = static_cast<double>(m->notes.num);
}
BENCHMARK(BM_RecordNoteEntry)->Unit(benchmark::kMicrosecond);

void BM_UndoNoteEntry(benchmark::State &state) {
    build_score();
    for (auto _ : state) {
        state.PauseTiming();
        enter_note(get_measure_by_pos(&g_score, EDIT_MEASURE), 0);
        state.ResumeTiming();
        undo(&g_score);
    }
}
BENCHMARK(BM_UndoNoteEntry)->Unit(benchmark::kMicrosecond);

// Memory of 200 single-note entries spread over the score, each in another measure and track.
void BM_MemoryOf200Steps(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        build_score();
        state.ResumeTiming();
        for (int i = 0; i < STEPS_HELD; i++)
            enter_note(get_measure_by_pos(&g_score, (i * 7) % MEASURES), i % TRACKS);
    }
    state.counters["steps"] = undo_steps();
    state.counters["history_MB"] = static_cast<double>(undo_memory()) / MEGABYTE;
}
BENCHMARK(BM_MemoryOf200Steps)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
