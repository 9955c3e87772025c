// The effects of the edit dialogs on the score and the settings: field readings with their
// limits, proposals, measure insertion, selection volume and tempo, note length and volume,
// going to a measure, and tying and untying pieces.
#include "gui/dialog_apply.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor/state.h"
#include "gui/calc.h"
#include "model/selection.h"
#include "model/tie.h"
#include "model/voice.h"

namespace {

constexpr int KEY_ROW_C = 7;
constexpr int GRID_FACTOR = 3; // the import grid is 3 * midi_atom ticks

const char *const key_names[KEY_ROWS] = {
    "7 sharp", "6 sharp", "5 sharp", "4 sharp", "3 sharp", "2 sharp", "1 sharp", "C",
    "1 flat",  "2 flat",  "3 flat",  "4 flat",  "5 flat",  "6 flat",  "7 flat",
};

int bound(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

bool valid_signature(int num, int bit) {
    if (num <= 0 || bit <= 0 || num > INT16_MAX || bit > INT16_MAX)
        return false;
    long len = static_cast<long>(num) * TICKS_PER_WHOLE / bit;
    return len >= 1 && len <= INT16_MAX;
}

// Inserts one empty measure before the cursor measure and moves the cursor onto it. Tied notes
// that ran across the bar line are joined first and split again over the new measure; the
// measures the joined pieces left are validated again too.
void insert_one_measure(score *s, int num, int bit, int key) {
    measure *m = new_measure();
    set_measure(m, num, bit, key);
    measure *before = s->cursor_measure->prev;
    int reach = 0;
    if (before) {
        reach = measure_compress_by_measure(before);
        _insert_measure_list(&s->measures, before, m);
        _measure_expand_by_measure(s, before, 1);
    } else {
        _insert_measure_list(&s->measures, nullptr, m);
    }
    measure *v = m;
    for (int i = 0; v && i <= reach; i++, v = v->next)
        validate_measure(v);
    s->cursor_measure = m;
}

struct volume_sum {
    long sum;
    int count;
};

void get_average_volume_callback(measure *, note *n, void *data) {
    auto *v = static_cast<volume_sum *>(data);
    v->sum += n->volume;
    v->count++;
}

void set_volume_callback(measure *, note *n, void *data) {
    n->volume = static_cast<uint8_t>(*static_cast<int *>(data));
}

// The tempo event at tick x of m, created when there is none.
m_event *tempo_event_at(measure *m, int x) {
    for (m_event *e = m->m_events.head; e; e = e->next)
        if (e->type == EVENT_TEMPO && e->x == x)
            return e;
    m_event *e = new_m_event();
    e->type = EVENT_TEMPO;
    e->x = x;
    return _insert_sorted_m_event_list(&m->m_events, e, m_event_comp);
}

// Ticks of the whole chain a piece belongs to.
long chain_length(note *piece) {
    long len = 0;
    for (note *p = _l_start_note(piece); p; p = p->l_next)
        len += p->len;
    return len;
}

// A piece that n may continue: a note of n's track and pitch that ends its chain.
bool tie_candidate(const note *c, const note *n) {
    return !c->rest && c->track == n->track && c->pitch == n->pitch && !c->l_next;
}

// The earlier piece n can continue: in m before n when n starts inside m, else at the end of
// the previous measure. Of several, the one nearest the head of the list.
note *find_tie_partner(measure *m, note *n) {
    note *found = nullptr;
    if (n->x != 0) {
        for (note *c = n->prev; c; c = c->prev)
            if (tie_candidate(c, n) && c->x + c->len == n->x)
                found = c;
        return found;
    }
    measure *pm = m->prev;
    for (note *c = pm ? pm->notes.tail : nullptr; c; c = c->prev)
        if (tie_candidate(c, n) && c->x + c->len == pm->len)
            found = c;
    return found;
}

} // namespace

char *key_list_getter(int index, int *count) {
    if (index < 0) {
        if (count)
            *count = KEY_ROWS;
        return nullptr;
    }
    return const_cast<char *>(key_names[bound(index, 0, KEY_ROWS - 1)]);
}

int key_of_row(int row) {
    return KEY_ROW_C - bound(row, 0, KEY_ROWS - 1);
}
int row_of_key(int key) {
    return bound(KEY_ROW_C - key, 0, KEY_ROWS - 1);
}

int field_int(const char *text) {
    long v = std::strtol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

int field_calc(const char *text) {
    double v;
    return calc(text, &v) ? calc_to_int(v) : 0;
}

void apply_compose_fields(const char *num, const char *bit, const char *tempo, const char *tracks,
                          int key_row) {
    int n = field_int(num), b = field_int(bit);
    if (valid_signature(n, b)) {
        default_num = n;
        default_bit = b;
    }
    int t = field_int(tempo);
    if (t > 0)
        g_score.default_tempo = t;
    g_score.track_num = bound(field_int(tracks), 1, MAX_SCORE_TRACKS);
    default_key = key_of_row(key_row);
}

void midi_grid_text(char *out, size_t size, int atom) {
    std::snprintf(out, size, "%d*%d", GRID_FACTOR, atom);
}

int midi_atom_from_text(const char *text, int previous) {
    int units = field_calc(text) / GRID_FACTOR;
    long magnitude = units < 0 ? -static_cast<long>(units) : units;
    if (magnitude == 0 || magnitude >= 2L * MAX_MIDI_ATOM)
        return previous;
    int atom = 1;
    while (atom * 2 <= magnitude)
        atom *= 2;
    return atom;
}

void midi_grid_choice_text(char *out, size_t size, int automatic, int atom) {
    if (automatic)
        std::snprintf(out, size, "%s", MIDI_GRID_AUTO_WORD);
    else
        midi_grid_text(out, size, atom);
}

void midi_grid_from_text(const char *text, int *automatic, int *atom) {
    while (*text == ' ')
        text++;
    if (!std::strcmp(text, MIDI_GRID_AUTO_WORD)) {
        *automatic = 1;
        return;
    }
    if (!std::strcmp(text, MIDI_GRID_EXACT_WORD)) {
        *automatic = 0;
        return;
    }
    int a = midi_atom_from_text(text, 0);
    if (a) {
        *automatic = 0;
        *atom = a;
    }
}

int default_volume_from_text(const char *text, int previous) {
    int v = field_calc(text);
    return v >= 0 && v <= MAX_VELOCITY ? v : previous;
}

int velocity_from_text(const char *text) {
    return bound(field_calc(text), 0, MAX_VELOCITY);
}

int insert_measures(score *s, int n) {
    if (!s->cursor_measure)
        return 0;
    measure *at = s->cursor_measure;
    int num = at->num, bit = at->bit, key = at->key;
    for (int i = 0; i < bound(n, 0, MAX_INSERTED_MEASURES); i++)
        insert_one_measure(s, num, bit, key);
    if (n > 0) {
        s->cursor_x = 0;
        edited = 1;
    }
    set_score_ref_x(s);
    return 1;
}

const char *selection_problem(score *s) {
    if (!valid_selection(s))
        return "Selection is'nt set.See Help.";
    if (s->select_start == s->select_end && s->select_start_x == s->select_end_x)
        return "Selection is empty";
    return nullptr;
}

int selection_average_volume(score *s) {
    volume_sum v = {0, 0};
    foreach_selection(s, get_average_volume_callback, &v);
    return v.count ? static_cast<int>(v.sum / v.count) : default_volume;
}

int set_selection_volume(score *s, int velocity) {
    int v = bound(velocity, 0, MAX_VELOCITY);
    return foreach_selection(s, set_volume_callback, &v);
}

void note_length_text(const note *n, char *out, size_t size) {
    if (n->total_len % 3)
        std::snprintf(out, size, "%d", n->total_len);
    else
        std::snprintf(out, size, "%d*(%d)", 3, n->total_len / 3);
}

int apply_note_length(score *s, measure *m, note *n, int len) {
    if (len <= 0)
        return 0;
    int old_reach = note_compress_by_measure(m, n);
    n->len = n->total_len = static_cast<int16_t>(bound(len, 1, MAX_NOTE_LENGTH));
    int reach = note_expand_by_measure(s, m, n);
    // The old chain may have reached further than the new one: those measures lost pieces.
    if (old_reach > reach)
        reach = old_reach;
    for (int i = 0; m && i <= reach; i++, m = m->next)
        validate_measure(m);
    edited = 1;
    return 1;
}

int apply_note_volume(note *n, int velocity) {
    if (velocity <= 0)
        return 0;
    n->volume = static_cast<uint8_t>(bound(velocity, 1, MAX_VELOCITY));
    return 1;
}

void go_to_measure(score *s, int n) {
    measure *start = s->ref_measure;
    while (s->ref_x < n && s->ref_measure && s->ref_measure->next) {
        s->ref_measure = s->ref_measure->next;
        s->ref_x++;
    }
    while (s->ref_x > n && s->ref_measure && s->ref_measure->prev) {
        s->ref_measure = s->ref_measure->prev;
        s->ref_x--;
    }
    // The view's tick offset belonged to the former first measure.
    if (s->ref_measure != start)
        offset_x = 0;
}

void tempo_proposal(score *s, char *out, size_t size, int *t2) {
    int t1 = get_x_tempo(s, s->select_start, s->select_start_x, 1);
    *t2 = get_x_tempo(s, s->select_end, s->select_end_x, 0);
    if (t1 == *t2)
        std::snprintf(out, size, "%d", t1);
    else
        std::snprintf(out, size, "(%d+%d)/2", t1, *t2);
}

const char *apply_selection_tempo(score *s, const char *text, int t2) {
    double v;
    if (!calc(text, &v))
        return "Invalid expression";
    if (v < 1)
        return "Invalid tempo (<1)";
    int tempo = calc_to_int(v);
    tempo_event_at(s->select_start, s->select_start_x)->value = tempo;
    if (tempo != t2)
        tempo_event_at(s->select_end, s->select_end_x)->value = t2;
    return nullptr;
}

const char *tie_note(measure *m, note *n) {
    if (!m || !n)
        return "No note is in cursor";
    if (n->l_prev)
        return "Can't Tie";
    note *earlier = find_tie_partner(m, n);
    if (!earlier)
        return "Can't Tie";
    if (chain_length(earlier) + chain_length(n) > MAX_NOTE_LENGTH)
        return "Can't Tie: the tied note would be longer than 32767 ticks";
    _l_tie_note(earlier, n);
    get_total_len(n);
    edited = 1;
    return nullptr;
}

const char *untie_note(note *n) {
    if (!n)
        return "No note is in the cursor";
    if (!n->l_prev)
        return "Can't UnTie";
    note *start = _l_start_note(n);
    _l_untie_note(n);
    get_total_len(start);
    edited = 1;
    return nullptr;
}
