// Horizontal and vertical scrolling of the view and the reset of the markers. Only notes of
// shown tracks are stops for the horizontal keys.
#include "editor/scroll.h"

#include <algorithm>

#include <allegro.h>

#include "editor/state.h"
#include "model/seq.h"

static bool shown(note *n) {
    return track_shown(n->track);
}

note *adjust_offset_x() {
    note *n = g_score.ref_measure ? find_near_note_by_x(g_score.ref_measure, offset_x) : nullptr;
    offset_x = n ? n->x : 0;
    return n;
}

note *get_offset_x_note(score *s) {
    if (!s->ref_measure)
        return nullptr;
    for (note *n = s->ref_measure->notes.head; n; n = n->next)
        if (n->x >= offset_x)
            return n;
    return nullptr;
}

static void move_ref(score *s, measure *m, int delta) {
    s->ref_measure = m;
    s->ref_x += delta;
}

// Start of the last note of a shown track in m, or 0.
static int last_shown_start(measure *m) {
    for (note *n = m->notes.tail; n; n = n->prev)
        if (shown(n))
            return n->x;
    return 0;
}

static void step_left(score *s) {
    note *n = adjust_offset_x();
    measure *ref = s->ref_measure;
    if (offset_x == 0 || !n || n == ref->notes.head) {
        if (ref->prev) {
            move_ref(s, ref->prev, -1);
            offset_x = last_shown_start(ref->prev);
        }
        return;
    }
    for (note *p = n->prev; p && p != ref->notes.head; p = p->prev) {
        if (shown(p) && p->x < offset_x) {
            offset_x = p->x;
            return;
        }
    }
    offset_x = 0;
}

static void step_right(score *s) {
    note *n = adjust_offset_x();
    for (note *p = n; p; p = p->next) {
        if (shown(p) && p->x > offset_x) {
            offset_x = p->x;
            return;
        }
    }
    measure *ref = s->ref_measure;
    if (ref->next) {
        move_ref(s, ref->next, 1);
        offset_x = 0;
    }
}

void process_left_right_key(score *s) {
    if (!s->ref_measure)
        return;
    if (key[KEY_LEFT])
        step_left(s);
    else if (key[KEY_RIGHT])
        step_right(s);
    else
        return;
    mouse_visible = 0;
}

void process_shift_left_right_key(score *s, int direction) {
    measure *ref = s->ref_measure;
    if (!ref)
        return;
    measure *to = direction == 0 ? ref->prev : ref->next;
    if (!to)
        return;
    move_ref(s, to, direction == 0 ? -1 : 1);
    adjust_offset_x();
}

void clear_marker() {
    init_score_select(&g_score);
    g_score.cursor_measure = nullptr;
    offset_x = 0;
}

int min_offset_y() {
    return -track_height;
}

int scroll_up(int step) {
    if (offset_y <= min_offset_y())
        return 0;
    offset_y = std::max(offset_y - step, min_offset_y());
    mouse_visible = 0;
    return 1;
}

void scroll_down(int step) {
    offset_y += step;
    mouse_visible = 0;
}
