// Keeping a measure's notes and events in their sorted order cheaply: insertion from a known
// place (a neighbour or the tail), and one stable sort of a whole list for elements that were
// appended in bulk. Every way gives the order that sorted insertions one by one would give.
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

// The same for measure events.
inline m_event *insert_m_event_sorted_from_tail(measure *m, m_event *e) {
    if (m->m_events.tail && !m_event_comp(e, m->m_events.tail))
        return _append_m_event_list(&m->m_events, e);
    return _insert_sorted_m_event_list(&m->m_events, e, m_event_comp);
}

// Stable sorts of a whole list by note_comp and m_event_comp, in n log n time. A list made by
// appending elements in some order and sorting once equals the list that inserting them one
// by one with _insert_sorted_..._list would make, without its quadratic cost.
void sort_note_list(note_list *l);
void sort_m_event_list(m_event_list *l);
// Both lists of m.
void sort_measure_elements(measure *m);
