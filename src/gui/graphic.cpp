// The tempo editor on the screen: the frame (grid, bar and beat lines, the tempo staircase,
// buttons, title), strokes drawn with the mouse, zoom and scroll, and the modal loop that ends
// with the question whether to apply the edited tempo to the score.
#include "gui/graphic.h"

#include <algorithm>
#include <climits>

#include "base/clock.h"
#include "render/glyphs.h"
#include "editor/interface.h"
#include "editor/keys.h"
#include "editor/mainloop.h"
#include "editor/state.h"
#include "playback/midi_in.h"

graphic_button_t graphic_button[GRAPHIC_BUTTONS];

namespace {

constexpr int BUTTON_W = GLYPH_W;
constexpr int BUTTON_H = GLYPH_H;
constexpr int BUTTON_REPEAT_MS = 250; // a button acts at most once in this time
constexpr int QUIT_BUTTON_RIGHT = 42; // quit button: this far left of the screen's right edge
constexpr int QUIT_BUTTON_Y = 32;
constexpr int ROW_LABEL_X = 48;        // row labels: this far left of the graph
constexpr int ROW_LABEL_RISE = 8;      // and this far above their line
constexpr int MEASURE_LABEL_DROP = 16; // measure numbers: this far below the graph
constexpr int MEASURE_LABEL_GAP = 47;  // least distance between two measure numbers
constexpr int TITLE_X = 48;
constexpr int TITLE_Y = 0;
constexpr int HELP_Y = 32;
constexpr int POLL_SLEEP_MS = 2;

enum graphic_answer { ANSWER_STAY = 0, ANSWER_APPLY = 1, ANSWER_DROP = 2 };

// The library's drawing calls, on the back buffer.
void hline(int x1, int y, int x2, int color) {
    ::hline(buf, x1, y, x2, color);
}

void vline(int x, int y1, int y2, int color) {
    ::vline(buf, x, y1, y2, color);
}

void clear() {
    clear_to_color(buf, bcol);
}

int column_x(int column) {
    int sx;
    graphic_screen_position_x(column, &sx);
    return sx;
}

int page_end_tick() {
    return graphic_x + graphic_column * graphic_dx;
}

// ---- The frame ----

void graphic_draw_grid() {
    for (int i = 0; i < graphic_column; i++)
        vline(column_x(i), graphic_y0, graphic_y0 - graphic_h, green_color);
    for (int i = 0; i < graphic_row; i++) {
        int y = graphic_y0 - i * graphic_h / graphic_row;
        hline(graphic_x0, y, graphic_x0 + graphic_w, green_color);
        textprintf_ex(buf, font, graphic_x0 - ROW_LABEL_X, y - ROW_LABEL_RISE, fcol, bcol, "%d",
                      graphic_y + i * graphic_dy);
    }
}

// The beat lines of the measure m starting at tick start, those on the graph only.
void draw_beat_lines(const measure *m, int start) {
    int beat = TICKS_PER_WHOLE / m->bit;
    for (int k = 1; k < m->num; k++) {
        int tick = start + k * beat;
        if (tick >= graphic_x && tick < page_end_tick())
            vline(column_x((tick - graphic_x) / graphic_dx), graphic_y0, graphic_y0 - graphic_h,
                  gray_color);
    }
}

// Bar line and number of a measure starting on the graph; returns the x of the last number.
int draw_bar_line(const measure *m, int start, int number, int last_label_x) {
    int x = column_x((start - graphic_x) / graphic_dx);
    vline(x, graphic_y0, graphic_y0 - graphic_h, fcol);
    if (last_label_x != INT_MIN && x <= last_label_x + MEASURE_LABEL_GAP && m->next)
        return last_label_x;
    textprintf_ex(buf, font, x, graphic_y0 + MEASURE_LABEL_DROP, fcol, bcol, " %d ", number);
    return x;
}

// The left edge beyond the score's end lies in a measure the score does not have yet; count it
// as a continuation of the last measure, as a stroke there would append such measures.
void set_seed_beyond_end(const measure *last, int end) {
    graphic_seed_measure = nullptr;
    graphic_seed_measure_x = graphic_x;
    if (last && last->len > 0)
        graphic_seed_measure_x = end + (graphic_x - end) / last->len * last->len;
}

void graphic_draw_measures(score *s) {
    int start = 0, number = 1, last_label_x = INT_MIN;
    graphic_seed_measure = nullptr;
    for (measure *m = s->measures.head; m; m = m->next, number++) {
        if (!graphic_seed_measure && start + m->len > graphic_x) {
            graphic_seed_measure = m;
            graphic_seed_measure_x = start;
        }
        if (start >= page_end_tick())
            return;
        if (start >= graphic_x)
            last_label_x = draw_bar_line(m, start, number, last_label_x);
        if (start + m->len > graphic_x)
            draw_beat_lines(m, start);
        start += m->len;
    }
    if (!graphic_seed_measure)
        set_seed_beyond_end(s->measures.tail, start);
}

// The column tempos as a staircase, kept inside the graph's band.
void graphic_draw_curve() {
    set_clip_rect(buf, graphic_x0, graphic_y0 - graphic_h, graphic_x0 + graphic_w, graphic_y0);
    for (int i = 1; i < graphic_column; i++) {
        int y_prev = graphic_screen_position_y(graphic_array[i - 1]);
        int y = graphic_screen_position_y(graphic_array[i]);
        hline(column_x(i - 1), y_prev, column_x(i), blue_color);
        vline(column_x(i), y_prev, y, blue_color);
    }
    set_clip_rect(buf, 0, 0, buf->w - 1, buf->h - 1);
}

void graphic_draw_title() {
    textprintf_ex(buf, font, TITLE_X, TITLE_Y, fcol, bcol, " Tempo Editor < %s > %d: ", filename,
                  graphic_x - graphic_seed_measure_x);
    textprintf_ex(buf, font, TITLE_X, HELP_Y, fcol, bcol, " Esc   :   quit ");
}

// ---- Input ----

void wait_buttons_released() {
    while (mouse_b & 3) {
        rest(POLL_SLEEP_MS);
        poll_mouse();
    }
}

void show_frame() {
    show_mouse(nullptr);
    _blit();
    if (mouse_visible)
        show_mouse(screen);
}

// Follows the pressed left button with a red line from the press point; on release the line
// becomes the tempo of the columns it spans. The right button abandons it.
void graphic_stroke(BITMAP *spare) {
    int x1 = mouse_x, y1 = mouse_y;
    int shown_x = INT_MIN, shown_y = INT_MIN;
    blit(buf, spare, 0, 0, 0, 0, buf->w, buf->h);
    while (mouse_b & 1) {
        if (mouse_b & 2) {
            wait_buttons_released();
            return;
        }
        if (mouse_x != shown_x || mouse_y != shown_y) {
            shown_x = mouse_x;
            shown_y = mouse_y;
            blit(spare, buf, 0, 0, 0, 0, buf->w, buf->h);
            line(buf, x1, y1, shown_x, shown_y, scol);
            show_frame();
        }
        rest(POLL_SLEEP_MS);
        poll_mouse();
    }
    graphic_apply_stroke(x1, y1, mouse_x, mouse_y);
}

int button_under_mouse() {
    for (int i = 0; i < GRAPHIC_BUTTONS; i++)
        if (detect_button_box(&graphic_button[i], mouse_x, mouse_y))
            return i;
    return -1;
}

// Acts for button b; returns 1 for the quit button.
int press_button(int b) {
    switch (b) {
    case BUTTON_TIME_ZOOM_IN:
    case BUTTON_TIME_ZOOM_OUT:
        graphic_zoom_time(b == BUTTON_TIME_ZOOM_IN);
        break;
    case BUTTON_TEMPO_ZOOM_IN:
    case BUTTON_TEMPO_ZOOM_OUT:
        graphic_zoom_tempo(b == BUTTON_TEMPO_ZOOM_IN);
        break;
    default:
        wait_buttons_released();
        return 1;
    }
    graphic_list_to_array();
    mouse_visible = 0;
    return 0;
}

// A press on a button acts unless a button acted within BUTTON_REPEAT_MS; any other press
// draws a stroke. Returns 1 when the user asked to quit.
int graphic_process_left_button(BITMAP *spare, int *button_timer) {
    int b = button_under_mouse();
    if (b >= 0 && get_time2(button_timer, 0) >= BUTTON_REPEAT_MS) {
        get_time2(button_timer, 1);
        return press_button(b);
    }
    graphic_stroke(spare);
    return 0;
}

void scroll_x(int ticks) {
    graphic_scroll_x(ticks);
    graphic_list_to_array();
}

int half_page() {
    return graphic_dx * graphic_column / 2;
}

// Rolled up is positive dz: with Shift it scrolls left, without it raises the window.
void graphic_process_wheel(int dz) {
    if (shift_held())
        scroll_x(dz > 0 ? -half_page() : half_page());
    else
        graphic_scroll_y(dz > 0);
    mouse_visible = 0;
}

// Every held arrow key acts; returns 1 when Esc is held.
int graphic_process_keys() {
    int step = shift_held() ? half_page() : graphic_dx;
    int arrows = key[KEY_LEFT] || key[KEY_RIGHT] || key[KEY_UP] || key[KEY_DOWN];
    if (key[KEY_LEFT])
        scroll_x(-step);
    if (key[KEY_RIGHT])
        scroll_x(step);
    if (key[KEY_DOWN])
        graphic_scroll_y(0);
    if (key[KEY_UP])
        graphic_scroll_y(1);
    if (arrows)
        mouse_visible = 0;
    return key[KEY_ESC];
}

// Applies one event; returns 1 when the user asked to quit.
int graphic_process_event(int event, BITMAP *spare, int *button_timer) {
    switch (event) {
    case INPUT_KEY:
        return graphic_process_keys();
    case INPUT_LEFT_BUTTON:
        return graphic_process_left_button(spare, button_timer);
    case INPUT_WHEEL:
        graphic_process_wheel(mouse_z);
        return 0;
    case INPUT_MIDI_CHORD:
        // Notes are entered in the score, not on the tempo graph.
        drop_midi_in_chords();
        return 0;
    default:
        wait_buttons_released();
        return 0;
    }
}

// "Yes" applies, "No" drops the changes, "Cancel" (or Esc) returns to the editor.
int ask_apply() {
    while (key[KEY_ESC]) {
        rest(POLL_SLEEP_MS);
        poll_keyboard();
    }
    clear_keybuf();
    show_mouse(screen);
    int answer =
        alert3("Quit", "Warning", "Apply changed tempo?", "Yes", "No", "Cancel", 'y', 'n', 'c');
    show_mouse(nullptr);
    if (answer == 1)
        return ANSWER_APPLY;
    return answer == 2 ? ANSWER_DROP : ANSWER_STAY;
}

int graphic_turn(score *s, BITMAP *spare, int *button_timer) {
    clear();
    graphic_draw(s);
    show_mouse(nullptr);
    _blit();
    int event = get_event();
    if (!graphic_process_event(event, spare, button_timer))
        return ANSWER_STAY;
    return ask_apply();
}

void open_graphic(score *s) {
    init_graphic();
    graphic_x = s->ref_measure ? std::min(get_measure_x(s, s->ref_measure), GRAPHIC_MAX_X) : 0;
    graphic_load_m_event(s);
    graphic_list_to_array();
    init_graphic_button();
    clear_graphic_mask();
    mouse_visible = 1;
}

} // namespace

void init_graphic_button() {
    int r = graphic_x0 + graphic_w;
    int t = graphic_y0 - graphic_h;
    const struct {
        int x, y;
        BITMAP *icon, *icon_selected;
    } place[GRAPHIC_BUTTONS] = {
        {r + 32, graphic_y0 + 16, icon_plus, icon_plus_s},
        {r + 16, graphic_y0 + 16, icon_minus, icon_minus_s},
        {graphic_x0 - 16, t - 32, icon_plus, icon_plus_s},
        {graphic_x0 - 32, t - 32, icon_minus, icon_minus_s},
        {buf->w - QUIT_BUTTON_RIGHT, QUIT_BUTTON_Y, icon_exit, icon_exit_s},
    };
    for (int i = 0; i < GRAPHIC_BUTTONS; i++)
        graphic_button[i] = {place[i].x, place[i].y,    BUTTON_W,
                             BUTTON_H,   place[i].icon, place[i].icon_selected};
}

int detect_button_box(const graphic_button_t *b, int mx, int my) {
    return in_box(b->x, b->y, b->x + b->w, b->y + b->h, mx, my);
}

void draw_button_box(BITMAP *bmp, const graphic_button_t *b) {
    if (b->icon)
        masked_blit(b->icon, bmp, 0, 0, b->x, b->y, b->w, b->h);
}

void graphic_draw(score *s) {
    graphic_draw_grid();
    graphic_draw_measures(s);
    graphic_draw_curve();
    for (const graphic_button_t &b : graphic_button)
        draw_button_box(buf, &b);
    graphic_draw_title();
}

int graphic_editor(score *s) {
    int button_timer = 0;
    get_time2(&button_timer, 1);
    BITMAP *spare = create_bitmap(buf->w, buf->h);
    if (!spare)
        return 0;
    open_graphic(s);
    int answer;
    while ((answer = graphic_turn(s, spare, &button_timer)) == ANSWER_STAY)
        ;
    if (answer == ANSWER_APPLY)
        graphic_save_m_event(s);
    close_graphic();
    graphic_kill_m_events();
    destroy_bitmap(spare);
    mouse_visible = 1;
    return answer == ANSWER_APPLY;
}
