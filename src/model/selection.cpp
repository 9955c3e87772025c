// The selection between two cursor positions, and the questions the block edits, dialogs and
// renderer ask about it.
#include "model/selection.h"

// 1 when `to` is reached from `from` by following next (from itself included).
static int reaches(measure *from, measure *to) {
    for (measure *m = from; m; m = m->next)
        if (m == to)
            return 1;
    return 0;
}

int well_ordered(measure *m1, int x1, measure *m2, int x2) {
    if (!m1 || !m2)
        return 0;
    if (m1 == m2)
        return x2 >= x1;
    return reaches(m1->next, m2);
}

int valid_selection(score *s) {
    return well_ordered(s->select_start, s->select_start_x, s->select_end, s->select_end_x);
}

int set_select_start(score *s) {
    if (!s->cursor_measure)
        return 0;
    s->select_start = s->cursor_measure;
    s->select_start_x = s->cursor_x;
    if (!valid_selection(s)) {
        s->select_end = s->cursor_measure;
        s->select_end_x = s->cursor_x;
    }
    return 1;
}

int set_select_end(score *s) {
    if (!s->cursor_measure)
        return 0;
    s->select_end = s->cursor_measure;
    s->select_end_x = s->cursor_x;
    if (!valid_selection(s)) {
        s->select_start = s->cursor_measure;
        s->select_start_x = s->cursor_x;
    }
    return 1;
}

// Class of m, knowing the selection is valid.
static int measure_class(score *s, measure *m) {
    if (m == s->select_start && m == s->select_end)
        return SELECT_START_END;
    if (m == s->select_start)
        return SELECT_START;
    if (m == s->select_end)
        return SELECT_END;
    return SELECT_INSIDE;
}

int is_selected_measure(score *s, measure *m) {
    if (!m || !valid_selection(s))
        return SELECT_OUTSIDE;
    for (measure *cur = s->select_start; cur; cur = cur->next) {
        if (cur == m)
            return measure_class(s, m);
        if (cur == s->select_end)
            break;
    }
    return SELECT_OUTSIDE;
}

int is_selected_note(score *s, int cls, int x) {
    switch (cls) {
    case SELECT_INSIDE:
        return 1;
    case SELECT_START:
        return x >= s->select_start_x;
    case SELECT_END:
        return x < s->select_end_x;
    case SELECT_START_END:
        return s->select_start_x <= x && x < s->select_end_x;
    default:
        return 0;
    }
}

int get_seletion_length(score *s) {
    if (!valid_selection(s))
        return 0;
    int len = 0;
    for (measure *m = s->select_start; m != s->select_end; m = m->next)
        len += m->len;
    return len + s->select_end_x - s->select_start_x;
}

// Calls fn on the selected elements of active tracks in m; returns the number of calls.
static int foreach_selected_in_measure(score *s, measure *m, selection_fn fn, void *data) {
    int cls = measure_class(s, m);
    int count = 0;
    for (note *n = m->notes.head; n;) {
        note *next = n->next; // fn may delete n
        if (track_shown(n->track) && is_selected_note(s, cls, n->x)) {
            fn(m, n, data);
            count++;
        }
        n = next;
    }
    return count;
}

int foreach_selection(score *s, selection_fn fn, void *data) {
    if (!valid_selection(s))
        return 0;
    int count = 0;
    for (measure *m = s->select_start; m; m = m->next) {
        count += foreach_selected_in_measure(s, m, fn, data);
        if (m == s->select_end)
            break;
    }
    return count;
}
