// The play line's place in the view and the start of "play from cursor", computed from the
// measures' columns and the score's cursor, caret and selection alone.
#include "model/play_view.h"

#include "model/layout.h"
#include "model/selection.h"
#include "model/view.h"

play_options_t play_options = {};
play_line_t play_line = {};

int tick_column_pixels(measure *m, int tick) {
    int c0 = 0, x0 = 0, c1 = m->n_pos, x1 = m->len;
    for (note *n = m->notes.head; n; n = n->next) {
        if (!track_shown(n->track) || (n->rest && n->len == 0))
            continue;
        if (n->x <= tick) {
            c0 = n->pos.x;
            x0 = n->x;
        } else {
            c1 = n->pos.x;
            x1 = n->x;
            break;
        }
    }
    int px = COLUMN_WIDTH * c0;
    if (x1 > x0)
        px += (tick - x0) * COLUMN_WIDTH * (c1 - c0) / (x1 - x0);
    return px;
}

int play_line_offset(measure *ref, int ref_px, play_spot spot, int span) {
    int x = -ref_px;
    for (measure *m = ref; m && x < span; m = m->next) {
        if (m != ref && m->key != m->prev->key)
            x += KEY_CHANGE_WIDTH;
        if (m == spot.m) {
            int px = x + tick_column_pixels(m, spot.tick);
            return px >= 0 && px < span ? px : -1;
        }
        x += m->width;
    }
    return -1;
}

measure *page_for_spot(measure *ref, int ref_px, play_spot spot, int span) {
    if (!spot.m || play_line_offset(ref, ref_px, spot, span) >= 0)
        return ref;
    return spot.m;
}

int measure_number(score *s, measure *m) {
    int i = 1;
    for (measure *cur = s->measures.head; cur; cur = cur->next, i++)
        if (cur == m)
            return i;
    return 0;
}

measure *nth_measure(score *s, int index) {
    measure *m = index >= 0 ? s->measures.head : nullptr;
    for (int i = 0; m && i < index; i++)
        m = m->next;
    return m;
}

void start_play_line(score *s, play_spot from, int looping, int counting_in, int background) {
    int beat_ticks = from.m->bit > 0 ? TICKS_PER_WHOLE / from.m->bit : TICKS_PER_WHOLE;
    unsigned serial = play_line.serial + 1;
    play_line = {1,
                 from,
                 measure_number(s, from.m),
                 from.tick / beat_ticks + 1,
                 looping,
                 counting_in,
                 background,
                 serial};
}

play_spot cursor_play_spot(score *s) {
    if (valid_selection(s))
        return {s->select_start, s->select_start_x};
    if (note_caret.shown) {
        measure *m = nth_measure(s, note_caret.measure_index);
        if (m)
            return {m, note_caret.x};
    }
    if (s->cursor_measure)
        return {s->cursor_measure, s->cursor_x};
    return {s->ref_measure, 0};
}
