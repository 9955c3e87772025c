// The score in memory: initialisers, measure bookkeeping, positions, track orders, tempo map.
#include "model/score.h"

score g_score;

constexpr int TRACK_FULL_VOLUME = 127;

int default_num = 4;
int default_bit = 4;
int default_key = 0;
int default_volume = 127;
int default_patch = 0;

int sounding_len(const note *n) {
    if (!n->staccato)
        return n->total_len;
    return n->total_len / 2 > 0 ? n->total_len / 2 : 1;
}

note *init_note(note *n) {
    set_coord(&n->display, 0, 0);
    set_coord(&n->pos, 0, 0);
    n->pitch = 0;
    n->pitch12 = 0;
    n->accidental = 0;
    n->step = 0;
    n->x = 0;
    n->len = n->total_len = TICKS_PER_QUARTER;
    n->track = 0;
    n->volume = static_cast<uint8_t>(default_volume);
    n->rest = 0;
    n->triplet = 0;
    n->staccato = 0;
    n->voice = 0;
    n->next = n->prev = n->l_next = n->l_prev = nullptr;
    return n;
}

m_event *init_m_event(m_event *e) {
    e->x = 0;
    e->type = 0;
    e->value = 0;
    e->next = e->prev = nullptr;
    return e;
}

int get_measure_length(int num, int bit) {
    return num * TICKS_PER_WHOLE / bit;
}

int get_measure_display_size(measure *m) {
    m->width = m->unit_x * m->n_pos;
    return m->width;
}

measure *init_measure(measure *m) {
    m->unit_x = COLUMN_WIDTH;
    m->unit_y = STEP_HEIGHT;
    m->key = static_cast<int16_t>(default_key);
    m->bit = static_cast<int16_t>(default_bit);
    m->num = static_cast<int16_t>(default_num);
    m->len = static_cast<int16_t>(get_measure_length(m->num, m->bit));
    m->next = m->prev = nullptr;
    init_note_list(&m->notes);
    init_m_event_list(&m->m_events);
    m->n_pos = static_cast<int16_t>(get_note_num(m));
    get_measure_display_size(m);
    return m;
}

void set_measure(measure *m, int num, int bit, int key) {
    m->num = static_cast<int16_t>(num);
    m->bit = static_cast<int16_t>(bit);
    m->key = static_cast<int16_t>(key);
    m->n_pos = static_cast<int16_t>(get_note_num(m));
    m->len = static_cast<int16_t>(get_measure_length(num, bit));
    get_measure_display_size(m);
}

int get_note_num(measure *m) {
    int count = 1;
    int last_x = 0;
    for (note *n = m->notes.head; n; n = n->next) {
        if (n->x != last_x)
            count++;
        last_x = n->x;
    }
    return count;
}

void destroy_note(note *) {}

void destroy_measure(measure *m) {
    _destroy_note_list(&m->notes, nullptr);
    _destroy_m_event_list(&m->m_events, nullptr);
}

void init_score_select(score *s) {
    s->select_start = s->select_end = nullptr;
    s->select_start_x = s->select_end_x = 0;
}

void init_score(score *s) {
    init_measure_list(&s->measures);
    s->ref_measure = s->cursor_measure = nullptr;
    set_coord(&s->origin, 0, 0);
    set_coord(&s->limit, 0, 0);
    set_coord(&s->unit, COLUMN_WIDTH, STEP_HEIGHT);
    set_coord(&s->screen, 640, 480);
    init_score_select(s);
    s->cursor_x = 0;
    s->ref_x = 0;
    s->track_num = 1;
    init_track_info(s);
    s->default_tempo = DEFAULT_TEMPO;
}

void init_new_score(score *s) {
    init_score(s);
    measure *m = new_measure();
    _append_measure_list(&s->measures, m);
    s->ref_measure = s->cursor_measure = m;
    s->ref_x = 1;
}

void destroy_score(score *s) {
    _destroy_measure_list(&s->measures, destroy_measure);
}

measure *insert_measure(score *s, measure *after, measure *m) {
    if (after)
        set_measure(m, after->num, after->bit, after->key);
    return _insert_measure_list(&s->measures, after, m);
}

int melodic_channel(int track) {
    return track < PERCUSSION_CHANNEL ? track : track + 1;
}

track_info_t new_track(int track) {
    track_info_t ti;
    ti.patch = 0;
    ti.channel = static_cast<int16_t>(melodic_channel(track));
    ti.volume = TRACK_FULL_VOLUME;
    ti.remove = 0;
    ti.active = 1;
    ti.mute = 0;
    ti.vol_changed = 0;
    return ti;
}

void init_track_info(score *s) {
    for (int t = 0; t < MAX_TRACKS; t++)
        s->tracks[t] = new_track(t);
}

int note_comp(note *a, note *b) {
    return a->x < b->x || (a->x == b->x && a->pitch < b->pitch);
}

int m_event_comp(m_event *a, m_event *b) {
    return a->x < b->x;
}

int get_pos_by_measure(score *s, measure *m) {
    int i = 0;
    for (measure *cur = s->measures.head; cur; cur = cur->next, i++)
        if (cur == m)
            return i;
    return -1;
}

measure *get_measure_by_pos(score *s, int index) {
    if (index < 0)
        return nullptr;
    measure *cur = s->measures.head;
    for (; cur && index > 0; index--)
        cur = cur->next;
    return cur;
}

int get_measure_x(score *s, measure *m) {
    int x = 0;
    for (measure *cur = s->measures.head; cur && cur != m; cur = cur->next)
        x += cur->len;
    return x;
}

void set_score_ref_x(score *s) {
    s->ref_x = 1 + get_pos_by_measure(s, s->ref_measure);
}

// Ranks the tracks that pass keep(); the others get -1.
static void rank_tracks(int8_t *order, int *count, bool (*keep)(const track_info_t &)) {
    int rank = 0;
    for (int t = 0; t < g_score.track_num; t++)
        order[t] = static_cast<int8_t>(keep(g_score.tracks[t]) ? rank++ : -1);
    *count = rank;
}

void get_active_track_order(int8_t *order, int *count) {
    rank_tracks(order, count, [](const track_info_t &t) { return t.active != 0; });
}

void get_not_remove_track_order(int8_t *order, int *count) {
    rank_tracks(order, count, [](const track_info_t &t) { return t.remove == 0; });
}

void get_active_track(int8_t *list, int *count) {
    int n = 0;
    for (int t = 0; t < g_score.track_num; t++)
        if (g_score.tracks[t].active)
            list[n++] = static_cast<int8_t>(t);
    *count = n;
}

// Finds the last tempo event of m in list order; false when m holds none.
static bool last_tempo_in(measure *m, int *tempo) {
    bool found = false;
    for (m_event *e = m->m_events.head; e; e = e->next)
        if (e->type == EVENT_TEMPO) {
            *tempo = e->value;
            found = true;
        }
    return found;
}

int get_measure_tempo(score *s, measure *m) {
    int tempo = s->default_tempo;
    for (measure *cur = m ? m->prev : nullptr; cur; cur = cur->prev)
        if (last_tempo_in(cur, &tempo))
            break;
    return tempo;
}

int get_x_tempo(score *s, measure *m, int x, int inclusive) {
    int tempo = get_measure_tempo(s, m);
    for (m_event *e = m->m_events.head; e && (inclusive ? e->x <= x : e->x < x); e = e->next)
        if (e->type == EVENT_TEMPO)
            tempo = e->value;
    return tempo;
}
