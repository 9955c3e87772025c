// Note layout on screen: hit tests from screen points to measures, columns, staff positions,
// tracks and notes, the score cursor, note head positions and the column/tick conversions.
#include "model/layout.h"

#include <algorithm>
#include <cstdlib>

#include "model/view.h"
#include "model/voice.h"

namespace {

constexpr int NO_TRACK = -1;

// A point on the score resolved to a measure, a column, a staff position and a track.
struct hit {
    measure *m;
    int column;
    int row;
    int track;
};

// Steps 1 and 2: the clamped x and the track under the point; false when the point is beyond
// the score's right limit or no track is shown.
bool point_on_score(score *s, int *x, int y, int *track, int *rank) {
    *x = std::max(*x, static_cast<int>(s->origin.x));
    if (*x >= s->limit.x)
        return false;
    *track = get_track(s, y);
    if (*track == NO_TRACK)
        return false;
    *rank = active_track_order[*track];
    return *rank >= 0 && s->ref_measure;
}

// Appends an empty measure after the last one; validated at once so that it holds the rests
// of every track like any other measure between edits.
measure *append_measure(score *s, measure *last) {
    measure *m = insert_measure(s, last, new_measure());
    validate_measure(m);
    return m;
}

// Steps 3 to 5: walks the measures from ref_measure until the pixel column px falls in one.
// Appends measures when allowed; otherwise returns false past the last one.
bool locate(score *s, int x, int y, bool may_append, hit *out) {
    int track = NO_TRACK;
    int rank = 0;
    if (!point_on_score(s, &x, y, &track, &rank))
        return false;
    int px = x + COLUMN_WIDTH * get_near_pos_x_by_x(s->ref_measure, offset_x) - s->origin.x;
    if (px < 0)
        return false;
    int sum = 0;
    for (measure *m = s->ref_measure, *prev = nullptr; m; prev = m, m = m->next) {
        sum += m->width;
        if (prev && m->key != prev->key)
            sum += KEY_CHANGE_WIDTH;
        if (px < sum - m->unit_x / 2) {
            out->m = m;
            out->column = _div(std::max(0, px - (sum - m->width)), m->unit_x);
            out->row = _div(s->origin.y + rank * track_height - y - offset_y, m->unit_y);
            out->track = track;
            return true;
        }
        if (!m->next && may_append)
            append_measure(s, m);
    }
    return false;
}

} // namespace

int _div(int num, int den) {
    int q = num / den;
    int r = num % den;
    if (r >= den / 2)
        return q + 1;
    if (r < -den / 2)
        return q - 1;
    return q;
}

int get_track(score *s, int y) {
    if (n_active_track <= 0)
        return NO_TRACK;
    int bound = track_height / 2;
    for (int i = 0; i < n_active_track; i++) {
        if (offset_y + y - s->origin.y < bound)
            return active_track[i];
        bound += track_height;
    }
    return active_track[n_active_track - 1];
}

measure *screen_score(score *s, int x, int y, int *column_out, int *row_out, int *track_out) {
    hit h;
    if (!locate(s, x, y, true, &h))
        return nullptr;
    *column_out = h.column;
    *row_out = h.row;
    *track_out = h.track;
    return h.m;
}

measure *screen_score_find_note(score *s, int x, int y, note **note_out, int first_only) {
    *note_out = nullptr;
    hit h;
    if (!locate(s, x, y, false, &h))
        return nullptr;
    for (note *n = h.m->notes.head; n; n = n->next) {
        if (n->rest || n->pos.x != h.column || n->pos.y != h.row || n->track != h.track)
            continue;
        if (first_only && n->l_prev)
            continue;
        *note_out = n;
        return h.m;
    }
    return nullptr;
}

int set_cursor(score *s, int x, int y) {
    int column = 0, row = 0, track = 0;
    measure *m = screen_score(s, x, y, &column, &row, &track);
    if (!m)
        return 0;
    s->cursor_measure = m;
    s->cursor_x = get_near_x_by_pos_x(m, column);
    return 1;
}

int get_note_display(score *s, measure *m, int measure_x, note *n) {
    set_coord(&n->display, measure_x + s->origin.x + m->unit_x * n->pos.x,
              s->origin.y - m->unit_y * n->pos.y);
    return 1;
}

note *find_near_note_by_pos_x(measure *m, int column) {
    note *best = nullptr;
    int best_distance = 0;
    for (note *n = m->notes.head; n; n = n->next) {
        if (!track_shown(n->track))
            continue;
        int distance = std::abs(n->pos.x - column);
        if (!best || distance <= best_distance) {
            best = n;
            best_distance = distance;
        }
    }
    return best;
}

int get_near_x_by_pos_x(measure *m, int column) {
    note *n = find_near_note_by_pos_x(m, column);
    return n ? n->x : 0;
}

note *find_near_note_by_x(measure *m, int x) {
    for (note *n = m->notes.head; n; n = n->next)
        if (track_shown(n->track) && n->x >= x)
            return n;
    return nullptr;
}

int get_near_pos_x_by_x(measure *m, int x) {
    note *n = find_near_note_by_x(m, x);
    return n ? n->pos.x : 0;
}

note *find_note_by_x(measure *m, int x, int pos_y, int track) {
    for (note *n = m->notes.head; n; n = n->next)
        if (!n->rest && n->x == x && n->pos.y == pos_y && n->track == track)
            return n;
    return nullptr;
}
