// Sorted insertion into a measure's note list starting from a known neighbour, so that the
// pieces made by expansion inside a measure are placed without walking the whole list. It
// gives the same place as _insert_sorted_note_list: after every element not greater.
#pragma once

#include "model/score.h"

// Inserts e scanning forward from start; start must not be greater than e by note_comp.
inline note *insert_note_sorted_after(measure *m, note *start, note *e) {
    note *pos = start;
    while (pos->next && !note_comp(e, pos->next))
        pos = pos->next;
    return _insert_note_list(&m->notes, pos, e);
}
