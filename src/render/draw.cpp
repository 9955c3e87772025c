// Draws the whole editor picture into the back buffer once per turn of the main loop. The
// only score data written here are the notes' screen positions (display).
#include "render/draw.h"

#include <algorithm>

#include "model/play_view.h"
#include "model/seq.h"
#include "render/canvas.h"
#include "render/glyphs.h"

int draw_start_track = 0;
int draw_end_track = 0;
int bar_top = 0;
int bar_bottom = 0;

namespace {

constexpr int MAX_LENGTH_UNIT = TICKS_PER_WHOLE / 3; // 256: a whole note is 3 * 256 ticks
constexpr int STAFF_LINES = 5;
constexpr int TOP_LINE_STEPS = 2 * STAFF_LINES; // top treble / bottom bass line, in steps
constexpr int CURSOR_STEPS = 14;                // half height of the cursor line, in steps
constexpr int BRACKET_HALF = 72;                // half height of a selection bracket
constexpr int BRACKET_ARM = 15;
constexpr int LEDGER_HALF = 8;
constexpr int TIME_SIG_RISE = 84;            // time-signature changes sit this far above origin.y
constexpr int CARET_BACK = COLUMN_WIDTH / 2; // the caret stands half a column before its place
constexpr int CARET_HALF_WIDTH = 1;
constexpr int CARET_INNER_STEPS = 1; // a step inside the centre line

// Glyph anchors relative to the staff point of a note (x, y) or to the glyph corner.
constexpr int GLYPH_DX = 7;       // note cell corner is 7 left of x
constexpr int HEAD_DY = 28;       // ... and 28 above y
constexpr int LOW_DY = 15;        // accidental and rest cells 15 above y
constexpr int REST_DX = 10;       // rest cells 10 further left than note cells
constexpr int ACCIDENTAL_DX = 10; // accidental cell 10 left of the note cell
constexpr int DOT_DX = 3;         // dot cell 3 right of the note cell
constexpr int TRIPLET_RISE = 22;  // triplet mark above the note or rest cell
constexpr int KEY_GLYPH_DX = 8;   // key-signature accidental corner relative to its place
constexpr int KEY_GLYPH_DY = 16;
constexpr int STACCATO_RADIUS = 1; // the staccato dot is 3 x 3 pixels

// Tie shapes: the arc's depth and the outside strokes' slope are capped.
constexpr int TIE_MAX_DEPTH = 18;
constexpr int TIE_MAX_DROP = 24;
constexpr int TIE_OUTSIDE_DX = 30; // a tie from off screen starts this far left of origin.x

// Status panel places.
constexpr int MODE_ICON_X = 2, MODE_ICON_Y = 2;
constexpr int DOT_MODE_X = 18, DOT_MODE_Y = 2;
constexpr int LENGTH_X = 58, LENGTH_Y = 18, TRIPLET_LENGTH_Y = 34, TRIPLET_MARK_Y = 12;
constexpr int LENGTH_DOT_X = 60;
constexpr int HEADER_X = 40, HEADER_Y = 0;
constexpr int CURSOR_TEXT_X = 72, CURSOR_TEXT_Y = 16;
constexpr int MARGIN_TIME_Y = 24, MARGIN_MEASURE_Y = 42;
constexpr int LABEL_RISE = 8;
constexpr int PLAY_TEXT_X = 72, PLAY_TEXT_Y = 32;

const note *held_note = nullptr; // the editor's note being dragged, drawn like a selection

int row_y(int row) {
    return row * track_height - offset_y;
}

int row_of_track(int track) {
    return active_track_order[track];
}

int row_visible(int row) {
    return row >= draw_start_track && row <= draw_end_track;
}

int clamp_unit(int u) {
    return std::min(std::max(u, 1), MAX_LENGTH_UNIT);
}

BITMAP *length_glyph(BITMAP **table, int unit) {
    return table[3 * unit - 1];
}

// The plain unit whose glyph shows len: a triplet shows the unit of which it is two thirds.
int glyph_unit(int len, int triplet) {
    return clamp_unit(get_max_power2(len / (triplet ? 2 : 3)));
}

// A plain length that is not one unit alone carries a dot.
int has_dot(int len, int unit) {
    return get_min_power2(len / 3) != unit;
}

void put_glyph(BITMAP *bmp, BITMAP *glyph, int x, int y) {
    masked_blit(glyph, bmp, 0, 0, x, y, GLYPH_W, GLYPH_H);
}

void draw_mode_panel(const editor_view &view) {
    BITMAP *icon = view.insert_mode ? icon_insert : icon_select;
    put_glyph(buf, icon, MODE_ICON_X, MODE_ICON_Y);
}

// The current entry length: its note glyph, with a dot or a triplet mark.
void draw_length_panel(const editor_view &view) {
    int triplet = is_triplet(view.entry_length);
    int u = glyph_unit(view.entry_length, triplet);
    if (triplet) {
        put_glyph(buf, length_glyph(note_table, u), LENGTH_X, TRIPLET_LENGTH_Y);
        put_glyph(buf, icon_triplet, LENGTH_X, TRIPLET_MARK_Y);
        return;
    }
    put_glyph(buf, length_glyph(note_table, u), LENGTH_X, LENGTH_Y);
    if (has_dot(view.entry_length, u))
        put_glyph(buf, icon_dot, LENGTH_DOT_X, LENGTH_Y);
}

void draw_header_text(const editor_view &view) {
    const char *mode = note_caret.shown   ? "Input Mode"
                       : view.insert_mode ? "Insert Mode"
                                          : "Select Mode";
    measure *ref = g_score.ref_measure;
    textprintf_ex(buf, font, HEADER_X, HEADER_Y, fcol, bcol, "%s < %c %s > %d/%d Right Button:MENU",
                  mode, view.edited ? '*' : ' ', view.filename, offset_x, ref ? ref->n_pos : 0);
    if (g_score.cursor_measure)
        textprintf_ex(buf, font, CURSOR_TEXT_X, CURSOR_TEXT_Y, fcol, bcol, "Score Cursor %d/%d",
                      g_score.cursor_x, g_score.cursor_measure->n_pos);
}

// A vertical stroke at u with two arms of BRACKET_ARM pixels in direction dir (+1 or -1).
void draw_bracket(score *s, int u, int dir) {
    if (u < s->origin.x || u > s->limit.x)
        return;
    int top = s->origin.y - BRACKET_HALF, bottom = s->origin.y + BRACKET_HALF;
    vline(buf, u, bottom, top, scol);
    hline(buf, u, bottom, u + dir * BRACKET_ARM, scol);
    hline(buf, u, top, u + dir * BRACKET_ARM, scol);
}

void draw_ledger_lines(BITMAP *bmp, score *s, note *n, int ry) {
    int cy = ry + s->origin.y, x0 = n->display.x - LEDGER_HALF, x1 = n->display.x + LEDGER_HALF;
    int p = n->pos.y;
    if (p == 0)
        hline(bmp, x0, cy, x1, fcol);
    for (int i = TOP_LINE_STEPS; i <= p; i += 2)
        hline(bmp, x0, cy - i * s->unit.y, x1, fcol);
    for (int i = TOP_LINE_STEPS; i <= -p; i += 2)
        hline(bmp, x0, cy + i * s->unit.y, x1, fcol);
}

BITMAP *accidental_glyph(int accidental) {
    switch (accidental) {
    case 1:
        return icon_sharp;
    case 2:
        return icon_double_sharp;
    case -1:
        return icon_flat;
    case -2:
        return icon_double_flat;
    default:
        return nullptr;
    }
}

// The accidental as shown against the key: what the key already says is left out, and a
// letter the key alters but the note does not gets a natural.
BITMAP *shown_accidental(int key, note *n) {
    int step = n->step;
    if (step < 0 || step >= STEPS_PER_OCTAVE)
        return accidental_glyph(n->accidental);
    if (key > 0 && sharp_key_table[step] <= key) {
        if (n->accidental == 1)
            return nullptr;
        if (n->accidental == 0)
            return icon_natural;
    } else if (key < 0 && flat_key_table[step] <= -key) {
        if (n->accidental == -1)
            return nullptr;
        if (n->accidental == 0)
            return icon_natural;
    }
    return accidental_glyph(n->accidental);
}

void draw_length_glyph(BITMAP *bmp, BITMAP **table, note *n, int gx, int head_y, int low_y) {
    int y = n->rest ? low_y : head_y;
    int u = glyph_unit(n->len, n->triplet);
    put_glyph(bmp, length_glyph(table, u), gx, y);
    if (n->triplet)
        put_glyph(bmp, icon_triplet, gx, y - TRIPLET_RISE);
    else if (has_dot(n->len, u))
        put_glyph(bmp, icon_dot, gx + DOT_DX, head_y);
}

// Staff steps from a head at staff position pos down to its staccato dot. Every stem points
// up, so the dot goes under the head, in the first space below it: no line's ink covers it.
int staccato_drop(int pos) {
    return (pos - 1) % 2 != 0 ? 1 : 2;
}

// The staccato dot of a marked note, under its first piece's head, in the head's colour.
void draw_staccato_dot(BITMAP *bmp, score *s, note *n, int ry, int colour) {
    int x = n->display.x;
    int y = ry + n->display.y + staccato_drop(n->pos.y) * s->unit.y;
    rectfill(bmp, x - STACCATO_RADIUS, y - STACCATO_RADIUS, x + STACCATO_RADIUS,
             y + STACCATO_RADIUS, colour);
}

void draw_time_change(score *s, int x, measure *m, measure *prev) {
    if (m->num != prev->num || m->bit != prev->bit)
        textprintf_ex(buf, font, s->origin.x + x, s->origin.y - TIME_SIG_RISE, fcol, bcol,
                      " %d/%d ", m->num, m->bit);
}

// A new key in every visible row: the key itself, or naturals when it returns to C.
void draw_key_change(score *s, int x, measure *m, measure *prev) {
    int key = m->key ? m->key : prev->key;
    int cancel = m->key == 0;
    for (int row = draw_start_track; row <= draw_end_track; row++)
        draw_key(row, s->origin.x + x, s->origin.y, s->unit.y, key, cancel);
}

// Screen x of the column nearest to tick of m, m being drawn x pixels right of origin.x.
int tick_screen_x(score *s, int x, measure *m, int tick) {
    return s->origin.x + x + COLUMN_WIDTH * get_near_pos_x_by_x(m, tick);
}

void draw_cursor_line(score *s, int x, measure *m) {
    int u = tick_screen_x(s, x, m, s->cursor_x);
    vline(buf, u, s->origin.y + CURSOR_STEPS * s->unit.y, s->origin.y - CURSOR_STEPS * s->unit.y,
          scol);
}

// Screen x of the caret in m drawn x pixels right of origin.x.
int caret_x_in(score *s, int x, measure *m, int tick) {
    return s->origin.x + x + tick_column_pixels(m, tick) - CARET_BACK;
}

// A bar over the caret's staff, from its top line to its bottom line and a step beyond.
void draw_caret(score *s, int px) {
    int row = row_of_track(note_caret.track);
    if (row < 0 || !row_visible(row) || px < s->origin.x - CARET_BACK || px > s->limit.x)
        return;
    int centre = row_y(row) + s->origin.y;
    int sign = note_caret.bass ? 1 : -1;
    int inner = centre + sign * CARET_INNER_STEPS * s->unit.y;
    int outer = centre + sign * (TOP_LINE_STEPS + 1) * s->unit.y;
    rectfill(buf, px - CARET_HALF_WIDTH, std::min(inner, outer), px + CARET_HALF_WIDTH,
             std::max(inner, outer), green_color);
}

void draw_margin(score *s) {
    measure *ref = s->ref_measure;
    int x = s->origin.x - STAFF_MARGIN;
    for (int row = draw_start_track; row <= draw_end_track; row++)
        draw_key(row, x, s->origin.y, s->unit.y, ref->key, 0);
    textprintf_ex(buf, font, x, MARGIN_TIME_Y, fcol, bcol, "%d/%d", ref->num, ref->bit);
    textprintf_ex(buf, font, x, MARGIN_MEASURE_Y, fcol, bcol, "%d", s->ref_x);
}

// Rise of a slanted tie stroke of w pixels.
int stroke_drop(int w) {
    return 3 * std::min(w / 2, TIE_MAX_DROP) / 4;
}

void draw_tie_arc(int px, int x, int y) {
    int e = (x - px) / 4;
    int d = std::min(e / 2, TIE_MAX_DEPTH);
    int xs[5] = {px, px + e, px + 2 * e, px + 3 * e, px + 4 * e};
    int ys[5] = {y, y + 3 * d / 4, y + d, y + 3 * d / 4, y};
    for (int i = 0; i < 4; i++)
        line(buf, xs[i], ys[i], xs[i + 1], ys[i + 1], blue_color);
}

// The line through every shown row at the spot being heard.
void draw_play_line(score *s) {
    int x = play_line_screen_x(s);
    if (x >= 0)
        rectfill(buf, x, bar_top, x + PLAY_LINE_WIDTH - 1, bar_bottom, blue_color);
}

// While music plays: where it started and how to stop it; otherwise the play options that
// are on.
void draw_play_text() {
    if (play_line.shown) {
        textprintf_ex(buf, font, PLAY_TEXT_X, PLAY_TEXT_Y, fcol, bcol,
                      "%s from measure %d beat %d%s  %s stops",
                      play_line.counting_in ? "Count-in" : "Playing", play_line.from_number,
                      play_line.from_beat, play_line.looping ? ", looping" : "",
                      play_line.background ? "F8" : "Q or F8");
        return;
    }
    if (play_options.loop || play_options.metronome || play_options.count_in)
        textprintf_ex(buf, font, PLAY_TEXT_X, PLAY_TEXT_Y, fcol, bcol, "%s%s%s",
                      play_options.loop ? "Loop " : "", play_options.metronome ? "Metronome " : "",
                      play_options.count_in ? "Count-in" : "");
}

} // namespace

int get_draw_track() {
    int r = 0;
    while (r < MAX_TRACKS && (r + 1) * track_height <= offset_y)
        r++;
    draw_start_track = r;
    while (r < MAX_TRACKS && r * track_height - offset_y < g_score.screen.y)
        r++;
    draw_end_track = r - 1;
    draw_start_track = std::min(draw_start_track, n_active_track);
    draw_end_track = std::min(draw_end_track, n_active_track - 1);
    return draw_end_track;
}

void get_draw_bar(score *s) {
    if (draw_end_track < draw_start_track) {
        bar_top = bar_bottom = 0;
        return;
    }
    bar_top = row_y(draw_start_track) + s->origin.y - TOP_LINE_STEPS * s->unit.y;
    bar_bottom = row_y(draw_end_track) + s->origin.y + TOP_LINE_STEPS * s->unit.y;
    bar_top = std::max(bar_top, 0);
    bar_bottom = std::min(bar_bottom, s->screen.y - 1);
}

void draw_five_lines(score *s, int row) {
    int y0 = row_y(row) + s->origin.y, x0 = s->origin.x - STAFF_MARGIN;
    for (int k = 1; k <= STAFF_LINES; k++) {
        hline(buf, x0, y0 - 2 * k * s->unit.y, s->limit.x, fcol);
        hline(buf, x0, y0 + 2 * k * s->unit.y, s->limit.x, fcol);
    }
    textprintf_ex(buf, font, x0, y0 - LABEL_RISE, fcol, bcol, " %d ", active_track[row]);
}

void draw_key(int row, int x, int cy, int h, int key, int cancel) {
    if (key == 0)
        return;
    BITMAP *glyph = icon_sharp;
    const int32_t(*treble)[2] = treble_key_sharp_table;
    const int32_t(*bass)[2] = bass_key_sharp_table;
    if (key < 0) {
        glyph = icon_flat;
        treble = treble_key_flat_table;
        bass = bass_key_flat_table;
        key = -key;
    }
    if (cancel)
        glyph = icon_natural;
    key = std::min(key, KEY_ACCIDENTALS); // a signature holds at most seven accidentals
    int y0 = cy + row_y(row) - KEY_GLYPH_DY;
    for (int i = 0; i < key; i++) {
        put_glyph(buf, glyph, x + treble[i][KEY_OFFSET_X] - KEY_GLYPH_DX,
                  y0 - treble[i][KEY_POS_Y] * h);
        put_glyph(buf, glyph, x + bass[i][KEY_OFFSET_X] - KEY_GLYPH_DX,
                  y0 - bass[i][KEY_POS_Y] * h);
    }
}

void draw_score(score *s) {
    measure *ref = s->ref_measure;
    if (!ref)
        return;
    int x = -COLUMN_WIDTH * get_near_pos_x_by_x(ref, offset_x);
    for (measure *m = ref; m && s->origin.x + x < s->limit.x; m = m->next) {
        int drawn_x = x;
        if (m != ref) {
            draw_time_change(s, x, m, m->prev);
            if (m->key != m->prev->key) {
                drawn_x = x + KEY_CHANGE_WIDTH;
                draw_key_change(s, x, m, m->prev);
            }
        }
        draw_measure(s, drawn_x, m);
        if (m == s->cursor_measure)
            draw_cursor_line(s, drawn_x, m);
        x = drawn_x + m->width;
    }
    draw_margin(s);
    int caret = caret_screen_x(s);
    if (caret >= 0)
        draw_caret(s, caret);
}

int play_line_screen_x(score *s) {
    if (!play_line.shown || !s->ref_measure || draw_end_track < draw_start_track)
        return -1;
    int ref_px = COLUMN_WIDTH * get_near_pos_x_by_x(s->ref_measure, offset_x);
    int px = play_line_offset(s->ref_measure, ref_px, play_line.at, s->limit.x - s->origin.x);
    return px >= 0 ? s->origin.x + px : -1;
}

int caret_screen_x(score *s) {
    measure *ref = s->ref_measure;
    if (!note_caret.shown || !ref)
        return -1;
    int index = s->ref_x - 1;
    int x = -COLUMN_WIDTH * get_near_pos_x_by_x(ref, offset_x);
    for (measure *m = ref; m && s->origin.x + x < s->limit.x; m = m->next, index++) {
        if (m != ref && m->key != m->prev->key)
            x += KEY_CHANGE_WIDTH;
        if (index == note_caret.measure_index)
            return caret_x_in(s, x, m, note_caret.x);
        // The end of the score: the caret stands at the last bar line.
        if (!m->next && index + 1 == note_caret.measure_index)
            return caret_x_in(s, x, m, m->len);
        x += m->width;
    }
    return -1;
}

void draw_measure(score *s, int x, measure *m) {
    int sel = is_selected_measure(s, m);
    for (note *n = m->notes.head; n; n = n->next)
        if (row_of_track(n->track) != -1)
            get_note_display(s, m, x, n);
    for (note *n = m->notes.head; n; n = n->next) {
        int row = row_of_track(n->track);
        if (row == -1 || !row_visible(row))
            continue;
        if (n->display.x < s->origin.x || n->display.x > s->limit.x)
            continue;
        _draw_note(buf, s, m->key, n, sel);
        draw_tie(s, m, x, n);
    }
    if (draw_end_track >= draw_start_track)
        vline(buf, s->origin.x + x + m->width - s->unit.x / 2, bar_top, bar_bottom, fcol);
    if (sel == SELECT_START || sel == SELECT_START_END)
        draw_bracket(s, tick_screen_x(s, x, m, s->select_start_x), 1);
    if (sel == SELECT_END || sel == SELECT_START_END)
        draw_bracket(s, tick_screen_x(s, x, m, s->select_end_x), -1);
}

void _draw_note(BITMAP *bmp, score *s, int key, note *n, int sel) {
    if (n->rest && n->len == 0)
        return;
    int selected = is_selected_note(s, sel, n->x);
    int ry = row_y(row_of_track(n->track));
    int gx = n->display.x - GLYPH_DX;
    int head_y = ry + n->display.y - HEAD_DY, low_y = ry + n->display.y - LOW_DY;
    if (s->limit.x < gx || s->limit.y < head_y)
        return;
    if (n->rest) {
        BITMAP **table = selected ? rest_table_s : rest_table;
        draw_length_glyph(bmp, table, n, gx - REST_DX, head_y, low_y);
        return;
    }
    int red = selected || n == held_note;
    BITMAP **table = red ? note_table_s : note_table;
    draw_ledger_lines(bmp, s, n, ry);
    if (BITMAP *acc = shown_accidental(key, n))
        put_glyph(bmp, acc, gx - ACCIDENTAL_DX, low_y);
    draw_length_glyph(bmp, table, n, gx, head_y, low_y);
    if (n->staccato && !n->l_prev)
        draw_staccato_dot(bmp, s, n, ry, red ? scol : fcol);
}

void draw_tie(score *s, measure *m, int x, note *n) {
    int from_outside = 0, to_outside = 0;
    if (n->l_prev)
        from_outside = (m == s->ref_measure && n->x == 0) || n->l_prev->display.x < s->origin.x;
    if (n->l_next) {
        note *next = n->l_next;
        to_outside = (s->origin.x + x + m->width >= s->limit.x && next->x == 0) ||
                     (next->x > 0 && next->display.x > s->limit.x);
    }
    _draw_tie(s, n, from_outside, to_outside);
}

void _draw_tie(score *s, note *n, int from_outside, int to_outside) {
    int y = row_y(row_of_track(n->track)) + n->display.y;
    int x = n->display.x;
    if (n->l_prev && !from_outside)
        draw_tie_arc(n->l_prev->display.x, x, y);
    if (n->l_prev && from_outside) {
        int start = s->origin.x - TIE_OUTSIDE_DX;
        int w = x - start;
        if (w == 0)
            w = 2;
        line(buf, start, y + stroke_drop(w), x, y, blue_color);
    }
    if (n->l_next && to_outside) {
        int w = x < s->limit.x ? s->limit.x - x : 2;
        line(buf, x, y, x + w, y + stroke_drop(w), blue_color);
    }
}

void draw_all(const editor_view &view) {
    held_note = view.held_note;
    clear_to_color(buf, bcol);
    get_draw_track();
    get_draw_bar(&g_score);
    draw_mode_panel(view);
    draw_length_panel(view);
    if (view.dot_mode)
        put_glyph(buf, icon_dot_mode, DOT_MODE_X, DOT_MODE_Y);
    for (int row = draw_start_track; row <= draw_end_track; row++)
        draw_five_lines(&g_score, row);
    draw_score(&g_score);
    draw_play_line(&g_score);
    draw_header_text(view);
    draw_play_text();
    hline(buf, g_score.origin.x, view.panel_height, g_score.limit.x, green_color);
}
