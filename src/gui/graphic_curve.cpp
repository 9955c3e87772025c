// The tempo editor's model: geometry and zoom, the working tempo list at absolute ticks, the
// column array that strokes draw into, and the conversions list -> array -> list -> score.
// Nothing here touches the screen, so all of it runs under the unit tests.
#include "gui/graphic_curve.h"

#include <algorithm>
#include <cstdlib>

#include "files/midi_imp.h"
#include "model/voice.h"

int graphic_x0, graphic_y0, graphic_w, graphic_h;
int graphic_column, graphic_row;
int graphic_dx, graphic_dy;
int graphic_x, graphic_y;
int graphic_threshold_v;
int *graphic_array = nullptr;
char *graphic_mask = nullptr;
m_event m_events;
measure *graphic_seed_measure = nullptr;
int graphic_seed_measure_x = 0;

void init_graphic() {
    graphic_x0 = GRAPHIC_X0;
    graphic_y0 = GRAPHIC_Y0;
    graphic_w = GRAPHIC_W;
    graphic_h = GRAPHIC_H;
    graphic_dx = GRAPHIC_DX;
    graphic_dy = GRAPHIC_DY;
    graphic_x = 0;
    graphic_y = 0;
    graphic_threshold_v = GRAPHIC_THRESHOLD_V;
    graphic_seed_measure = nullptr;
    graphic_seed_measure_x = 0;
    init_m_event(&m_events);
    set_graphic(GRAPHIC_COLUMNS, GRAPHIC_ROWS);
}

void set_graphic(int columns, int rows) {
    close_graphic();
    graphic_column = columns;
    graphic_row = rows;
    graphic_array = static_cast<int *>(std::calloc(columns, sizeof(int)));
    graphic_mask = static_cast<char *>(std::calloc(columns, 1));
    if (!graphic_array || !graphic_mask)
        list_out_of_memory();
}

void close_graphic() {
    std::free(graphic_array);
    std::free(graphic_mask);
    graphic_array = nullptr;
    graphic_mask = nullptr;
}

void clear_graphic_mask() {
    std::fill(graphic_mask, graphic_mask + graphic_column, 0);
}

// ---- Transforms ----

int screen_graphic_position_x(int sx, int *column) {
    *column = (sx - graphic_x0) * graphic_column / graphic_w;
    return *column >= 0 && *column < graphic_column;
}

int screen_graphic_position_y(int sy) {
    return graphic_row * graphic_dy * (graphic_y0 - sy) / graphic_h + graphic_y;
}

int graphic_screen_position_x(int column, int *sx) {
    *sx = column * graphic_w / graphic_column + graphic_x0;
    return *sx >= graphic_x0 && *sx < graphic_x0 + graphic_w;
}

int graphic_screen_position_y(int tempo) {
    return graphic_h * (graphic_y - tempo) / (graphic_row * graphic_dy) + graphic_y0;
}

int in_box(int x1, int y1, int x2, int y2, int px, int py) {
    return x1 <= px && px <= x2 && y1 <= py && py <= y2;
}

// ---- The working list ----

namespace {

m_event *new_tempo_event(int x, int value) {
    m_event *e = new_m_event();
    e->x = x;
    e->type = EVENT_TEMPO;
    e->value = value;
    return e;
}

// Inserts after every event with the same x, searching from start (which must not lie behind
// the place of e); returns e.
m_event *insert_working_event(m_event *start, m_event *e) {
    return _insert_sorted_m_event(start, e, m_event_comp);
}

// Deletes e's neighbours that share its x: the one before (never the sentinel) and the one
// after, so that e is the only event in force at its tick among them.
void delete_same_x_neighbours(m_event *e) {
    if (e->prev && e->prev != &m_events && e->prev->x == e->x)
        _delete_m_event(e->prev);
    if (e->next && e->next->x == e->x)
        _delete_m_event(e->next);
}

int column_tick(int column) {
    return graphic_x + column * graphic_dx;
}

} // namespace

void graphic_load_m_event(score *s) {
    m_event *last = insert_working_event(&m_events, new_tempo_event(0, g_score.default_tempo));
    int start = 0;
    for (measure *m = s->measures.head; m; m = m->next) {
        for (m_event *e = m->m_events.head; e; e = e->next)
            if (e->type == EVENT_TEMPO)
                last = insert_working_event(last, new_tempo_event(start + e->x, e->value));
        start += m->len;
    }
}

m_event *get_graphic_list(m_event *start, int tick) {
    m_event *node = start;
    while (node->next && node->next->x <= tick)
        node = node->next;
    return node;
}

int get_graphic_y(m_event *start, int tick) {
    m_event *node = get_graphic_list(start, tick);
    return node == &m_events ? g_score.default_tempo : node->value;
}

void graphic_list_to_array() {
    m_event *node = &m_events;
    for (int i = 0; i < graphic_column; i++) {
        node = get_graphic_list(node, column_tick(i));
        graphic_array[i] = node == &m_events ? g_score.default_tempo : node->value;
    }
}

int graphic_linearize(int x1, int y1, int x2, int y2) {
    if (x2 < x1) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    int c1, c2;
    screen_graphic_position_x(x1, &c1);
    screen_graphic_position_x(x2, &c2);
    if (c1 == c2)
        return 0;
    int t1 = std::max(screen_graphic_position_y(y1), GRAPHIC_MIN_TEMPO);
    int t2 = std::max(screen_graphic_position_y(y2), GRAPHIC_MIN_TEMPO);
    int set = 0;
    for (int i = std::max(c1, 0); i <= c2 && i < graphic_column; i++, set++) {
        graphic_array[i] = (t2 - t1) * (i - c1) / (c2 - c1) + t1;
        graphic_mask[i] = 1;
    }
    return set;
}

void remove_ranged_list(int from, int to) {
    m_event *e = m_events.next;
    while (e && e->x < to)
        e = e->x >= from ? _delete_m_event(e) : e->next;
}

void graphic_array_to_list() {
    for (int i = 0; i < graphic_column;) {
        if (!graphic_mask[i]) {
            i++;
            continue;
        }
        int j = i;
        while (j < graphic_column && graphic_mask[j])
            j++;
        remove_ranged_list(column_tick(i), column_tick(j));
        i = j;
    }
    int v = graphic_x <= 0 ? g_score.default_tempo : get_graphic_y(&m_events, graphic_x - 1);
    for (int j = 0; j < graphic_column; j++) {
        if (std::abs(v - graphic_array[j]) < graphic_threshold_v)
            continue;
        v = graphic_array[j];
        m_event *e = insert_working_event(&m_events, new_tempo_event(column_tick(j), v));
        delete_same_x_neighbours(e);
    }
}

void graphic_apply_stroke(int x1, int y1, int x2, int y2) {
    if (graphic_linearize(x1, y1, x2, y2))
        graphic_array_to_list();
    clear_graphic_mask();
    graphic_list_to_array();
}

void graphic_kill_m_events() {
    if (m_events.next)
        _kill_m_event_list(m_events.next, nullptr);
    m_events.next = nullptr;
}

// ---- Saving ----

void destroy_all_tempo_m_event_list(score *s) {
    for (measure *m = s->measures.head; m; m = m->next) {
        m_event *e = m->m_events.head;
        while (e)
            e = e->type == EVENT_TEMPO ? _delete_m_event_list(&m->m_events, e, nullptr) : e->next;
    }
}

void graphic_save_m_event(score *s) {
    destroy_all_tempo_m_event_list(s);
    measure *old_tail = s->measures.tail;
    reset_measure_cache(s);
    for (m_event *w = m_events.next; w; w = w->next) {
        int start = 0;
        measure *m = get_measure_by_x_fast(s, w->x, &start);
        if (!m)
            break;
        _insert_sorted_m_event_list(&m->m_events, new_tempo_event(w->x - start, w->value),
                                    m_event_comp);
    }
    for (measure *m = old_tail ? old_tail->next : s->measures.head; m; m = m->next)
        validate_measure(m);
}

// ---- Zoom and scroll ----

void graphic_zoom_time(int in) {
    graphic_dx = in ? std::max(graphic_dx / 2 / 2, 1) : std::min(graphic_dx * 2, GRAPHIC_MAX_DX);
    graphic_x = std::clamp(sampling(graphic_x, graphic_dx), 0, GRAPHIC_MAX_X);
}

void graphic_zoom_tempo(int in) {
    graphic_dy = in ? std::max(graphic_dy / 2, 1) : std::min(graphic_dy * 2, GRAPHIC_MAX_DY);
    graphic_y = std::clamp(sampling(graphic_y, graphic_dy), 1, GRAPHIC_MAX_Y);
}

void graphic_scroll_x(int ticks) {
    graphic_x = std::clamp(graphic_x + ticks, 0, GRAPHIC_MAX_X);
}

void graphic_scroll_y(int up) {
    if (up)
        graphic_y = std::min(graphic_y + graphic_dy, GRAPHIC_MAX_Y);
    else if (graphic_y >= graphic_dy)
        graphic_y -= graphic_dy;
}
