// Building scores for the benchmarks: one spelled note inserted in order into a measure.
#pragma once

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
