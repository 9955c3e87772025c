// Sorted insertion into a measure's note list from a known place (a neighbour or the tail), so
// that expansion pieces and notes read in order are placed without walking the whole list; both
// give the place _insert_sorted_note_list gives: after every element not greater.
#pragma once

#include "model/score.h"

// Inserts e scanning forward from start; start must not be greater than e by note_comp.
inline note *insert_note_sorted_after(measure *m, note *start, note *e) {
    note *pos = start;
    while (pos->next && !note_comp(e, pos->next))
        pos = pos->next;
    return _insert_note_list(&m->notes, pos, e);
}

// Inserts e trying the tail first: file readers meet notes in ascending order, and appending
// them keeps the reading of large measures linear.
inline note *insert_note_sorted_from_tail(measure *m, note *e) {
    if (m->notes.tail && !note_comp(e, m->notes.tail))
        return _append_note_list(&m->notes, e);
    return _insert_sorted_note_list(&m->notes, e, note_comp);
}
