// Building scores for the benchmarks: one spelled note inserted in order into a measure, and
// the dense score the model and undo benchmarks share.
#pragma once

#include "editor/state.h"
#include "model/seq.h"

inline note *add_note(measure *m, int x, int len, int pitch, int track) {
    note *n = new_note();
    n->x = x;
    n->len = n->total_len = static_cast<int16_t>(len);
    n->pitch = static_cast<int16_t>(pitch);
    n->track = static_cast<int8_t>(track);
    get_note_pos_y(m, n);
    return _insert_sorted_note_list(&m->notes, n, note_comp);
}

constexpr int DENSE_STEP = 48;        // a sixteenth: 16 starts per 4/4 measure
constexpr int DENSE_TIED_START = 720; // the last note of each track runs over the bar line
constexpr int DENSE_TIED_LEN = 144;

// One track's notes in one measure, compressed as a file holds them: 15 sixteenths, a
// three-note chord on each of the first two beats' first sixteenth, and a note tied over.
inline void fill_dense_track(measure *m, int track, int base) {
    for (int x = 0; x < DENSE_TIED_START; x += DENSE_STEP) {
        add_note(m, x, DENSE_STEP, base + (x / DENSE_STEP) % 7, track);
        if (x % 192 == 0 && x < 384) {
            add_note(m, x, 96, base - 5, track);
            add_note(m, x, 240, base - 9, track);
        }
    }
    add_note(m, DENSE_TIED_START, DENSE_TIED_LEN, base, track);
}

// Replaces g_score by tracks x measures of 4/4 filled by fill_dense_track (about 20 notes per
// track and measure), not yet expanded into pieces.
inline void build_dense_score(int tracks, int measures) {
    destroy_score(&g_score);
    init_score(&g_score);
    g_score.track_num = tracks;
    init_track_info(&g_score);
    update_active_tracks();
    measure *last = nullptr;
    for (int i = 0; i < measures; i++) {
        measure *m = new_measure();
        last = _insert_measure_list(&g_score.measures, last, m);
        for (int t = 0; t < tracks; t++)
            fill_dense_track(m, t, (t % 4) * 12 - 12);
    }
    g_score.ref_measure = g_score.measures.head;
}
