// Note input mode: the caret, the typed keys of the mode, and the chords entered at the caret
// through the same edit cycle as a click. Entered chords are remembered by place and pitch, not
// by pointer, so that undo and mouse edits in between can never leave a dangling note.
#include "editor/note_input.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <allegro.h>

#include "base/clock.h"
#include "editor/cursor.h"
#include "editor/edit.h"
#include "editor/history.h"
#include "editor/keys.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "editor/test_signals.h"
#include "model/seq.h"
#include "model/undo.h"
#include "playback/sound.h"
#include "render/draw.h"

namespace {

// A track is a grand staff: its middle, middle C, is where the first letter's octave is
// chosen near.
constexpr int GRAND_STAFF_MIDDLE = 0;
constexpr int MAX_CHORD = 16;
constexpr int MAX_ENTRIES = 4096; // chords Backspace can take back, the oldest dropped beyond
constexpr int LOWEST_PITCH = -KEY_OF_MIDDLE_C;
constexpr int HIGHEST_PITCH = MIDI_DATA_MAX - KEY_OF_MIDDLE_C;
constexpr int SOUND_MS = 400; // how long an entered chord sounds
constexpr int ESCAPE_POLL_MS = 2;
constexpr int NO_REFERENCE = -1000; // no previous note
constexpr int SPELL_FROM_PITCH = -1000;

// One entered chord: where it starts, its notes' pitches, and the caret and reference of
// before it, which Backspace gives back.
struct entry {
    int measure_index;
    int x;
    int track;
    int count;
    int pitches[MAX_CHORD];
    int caret_measure_before;
    int caret_x_before;
    int ref_before;
};

bool active = false;
std::vector<entry> entries;
int ref_pos_y = 0; // staff position the next letter's octave is chosen near
bool has_ref = false;
int click_row = 0; // staff position of the last click in the mode
struct sounding_key {
    int channel;
    int key;
};
std::vector<sounding_key> sounding; // switched on by the last entry, not yet off
int sound_timer = 0;

int reference_pos() {
    return has_ref ? ref_pos_y : GRAND_STAFF_MIDDLE;
}

void forget_reference() {
    has_ref = false;
}

measure *caret_measure(score *s) {
    return get_measure_by_pos(s, note_caret.measure_index);
}

// The caret at tick x of measure index i, normalised across bar lines: never before the
// score's start and never past its end.
void place_caret(score *s, int i, int x) {
    measure *m = get_measure_by_pos(s, i);
    while (x < 0 && i > 0) {
        m = get_measure_by_pos(s, --i);
        x += m->len;
    }
    if (x < 0 || i < 0) {
        i = 0;
        x = 0;
        m = s->measures.head;
    }
    while (m && x >= m->len) {
        x -= m->len;
        i++;
        m = m->next;
    }
    if (!m) {
        i = s->measures.num;
        x = 0;
    }
    note_caret.measure_index = i;
    note_caret.x = x;
}

// At the end of the score the caret's measure is appended, as a click beyond the end does.
measure *caret_measure_made(score *s) {
    note_caret.measure_index = std::min(note_caret.measure_index, s->measures.num);
    measure *m = caret_measure(s);
    while (!m) {
        undo_touch(s, s->measures.tail, nullptr);
        m = insert_measure(s, s->measures.tail, new_measure());
        validate_measure(m);
        m = caret_measure(s);
    }
    return m;
}

// ---- Keeping the caret on the screen ----

void keep_row_visible(score *s) {
    int row = active_track_order[note_caret.track];
    if (row < 0)
        return;
    int top = row * track_height;
    int room = s->limit.y - panel_height;
    if (top - offset_y < 0)
        offset_y = top;
    else if (room > track_height && top + track_height - offset_y > room)
        offset_y = top + track_height - room;
}

void keep_caret_visible(score *s) {
    keep_row_visible(s);
    int index = std::min(note_caret.measure_index, s->measures.num - 1);
    measure *m = get_measure_by_pos(s, index);
    if (!m)
        return;
    int ref_index = s->ref_x - 1;
    bool before = index < ref_index || (index == ref_index && note_caret.x < offset_x);
    int px = caret_screen_x(s);
    if (before || px < 0 || px >= s->limit.x - COLUMN_WIDTH) {
        s->ref_measure = m;
        offset_x = 0;
        set_score_ref_x(s);
    }
}

// ---- Sounding ----

void stop_sound() {
    for (const sounding_key &k : sounding)
        note_off(k.channel, k.key);
    sounding.clear();
}

// Sounds the chord starting with n as a click sounds an edited note (the edit-sound option
// decides which notes join it; a single-note option still sounds the whole chord). The chord
// sounds on past this turn, when undo or a new file may free its notes: what is switched off
// later is therefore kept as channels and keys, and the editor's sounding set is left empty.
void sound_chord(measure *m, note *n) {
    stop_sound();
    if (edit_sound_mode == EDIT_SOUND_NONE || !n)
        return;
    int mode = edit_sound_mode == EDIT_SOUND_SINGLE ? EDIT_SOUND_TRACK : edit_sound_mode;
    send_track_patches();
    _get_cur_position_notes(m, n, n->x, mode);
    edit_sound_on();
    for (int i = 0; i < n_cur_position_notes; i++) {
        note *held = *get_note_p_array(cur_position_notes, i);
        sounding.push_back({note_channel(held), note_key(held)});
    }
    n_cur_position_notes = 0;
    get_time2(&sound_timer, 1);
}

// ---- Finding entered notes again ----

note *find_entered(measure *m, const entry &e, int pitch) {
    for (note *n = m->notes.head; n; n = n->next)
        if (!n->rest && !n->l_prev && n->x == e.x && n->track == e.track && n->pitch == pitch)
            return n;
    return nullptr;
}

entry *last_entry() {
    return entries.empty() ? nullptr : &entries.back();
}

void remember(const entry &e) {
    if (entries.size() >= static_cast<size_t>(MAX_ENTRIES))
        entries.erase(entries.begin());
    entries.push_back(e);
}

entry new_entry(int track) {
    entry e = {};
    e.measure_index = note_caret.measure_index;
    e.x = note_caret.x;
    e.track = track;
    e.caret_measure_before = note_caret.measure_index;
    e.caret_x_before = note_caret.x;
    e.ref_before = has_ref ? ref_pos_y : NO_REFERENCE;
    return e;
}

// ---- Entering ----

// A new note; a letter keeps the staff position it was typed for (pos_y), a pitch from a MIDI
// key is spelled for the key of m (pos_y SPELL_FROM_PITCH).
note *make_note(measure *m, int x, int len, int track, int pitch, int pos_y) {
    note *n = new_note();
    n->len = n->total_len = static_cast<int16_t>(len);
    n->track = static_cast<int8_t>(track);
    n->x = x;
    if (pos_y == SPELL_FROM_PITCH) {
        n->pitch = static_cast<int16_t>(pitch);
        get_note_pos_y(m, n);
    } else {
        set_note_pos(m->key, n, pos_y, 0, 1);
    }
    return n;
}

// Enters the pitches as one chord at the caret; returns its first note.
note *enter_chord(score *s, entry *e, const int *pitches, const int *pos_ys, int count, int len) {
    measure *m = caret_measure_made(s);
    e->measure_index = note_caret.measure_index;
    note *first = nullptr;
    for (int i = 0; i < count && e->count < MAX_CHORD; i++) {
        int p = pitches[i];
        if (p < LOWEST_PITCH || p > HIGHEST_PITCH || find_entered(m, *e, p))
            continue;
        note *n = make_note(m, e->x, len, e->track, p, pos_ys ? pos_ys[i] : SPELL_FROM_PITCH);
        insert_entered_note(s, m, n);
        e->pitches[e->count++] = p;
        if (!first)
            first = n;
    }
    return first;
}

// After an entry: the octave reference, the caret past the chord, the sound and the view.
int finish_entry(score *s, entry &e, note *first, int len) {
    if (!undo_commit(s, first != nullptr))
        return 0;
    edited = 1;
    ref_pos_y = first->pos.y;
    has_ref = true;
    note_caret.bass = first->pos.y < 0;
    remember(e);
    place_caret(s, e.measure_index, e.x + len);
    sound_chord(get_measure_by_pos(s, e.measure_index), first);
    keep_caret_visible(s);
    return 1;
}

int enter_pitches(score *s, const int *pitches, const int *pos_ys, int count) {
    if (count <= 0 || n_active_track <= 0)
        return 0;
    // Another score may have been opened meanwhile, with this track hidden or gone.
    if (!track_shown(note_caret.track))
        note_caret.track = active_track[0];
    int len = entry_length();
    entry e = new_entry(note_caret.track);
    undo_begin(s, "enter note");
    note *first = enter_chord(s, &e, pitches, pos_ys, count, len);
    return finish_entry(s, e, first, len);
}

// The lowest pitch of the letter above every note of the last chord.
int pitch_above(int step, int key, int top_pitch) {
    int pos_y;
    int p = nearest_letter_pitch(step, key, 0, &pos_y);
    while (p <= top_pitch)
        p += SEMITONES_PER_OCTAVE;
    while (p - SEMITONES_PER_OCTAVE > top_pitch)
        p -= SEMITONES_PER_OCTAVE;
    return p;
}

int add_to_last_chord(score *s, int step) {
    entry *e = last_entry();
    measure *m = e ? get_measure_by_pos(s, e->measure_index) : nullptr;
    note *base = m ? find_entered(m, *e, e->pitches[0]) : nullptr;
    if (!base || e->count >= MAX_CHORD)
        return 0;
    int top = *std::max_element(e->pitches, e->pitches + e->count);
    int p = pitch_above(step, m->key, top);
    if (p > HIGHEST_PITCH)
        return 0;
    undo_begin(s, "add note to chord");
    note *n = make_note(m, e->x, base->total_len, e->track, p, SPELL_FROM_PITCH);
    insert_entered_note(s, m, n);
    e->pitches[e->count++] = p;
    undo_commit(s, 1);
    edited = 1;
    sound_chord(m, find_entered(m, *e, e->pitches[0]));
    return 1;
}

// ---- Changing the last chord ----

// The notes of the last chord that are still there, first pieces, in entry order.
int last_chord_notes(score *s, entry *e, measure **m_out, note **out) {
    measure *m = get_measure_by_pos(s, e->measure_index);
    int found = 0;
    for (int i = 0; m && i < e->count; i++) {
        out[i] = find_entered(m, *e, e->pitches[i]);
        found += out[i] != nullptr;
    }
    *m_out = m;
    return found;
}

// Joins n's pieces into it, lets change() alter the whole note, and splits it again.
template <typename Change> void recut_note(score *s, measure *m, note *n, Change change) {
    int reach = note_compress_by_measure(m, n);
    change(n);
    validate_following(m, reach, nullptr);
    _note_expand_by_measure(s, m, n, 1);
}

// Applies change to every found note of the last chord, as one undo step named name; growth is
// how many ticks longer change makes a note, so that undo keeps what the longer note reaches.
template <typename Change>
int change_last_chord(score *s, const char *name, int growth, Change change) {
    entry *e = last_entry();
    if (!e)
        return 0;
    measure *m;
    note *notes[MAX_CHORD];
    if (!last_chord_notes(s, e, &m, notes))
        return 0;
    undo_begin(s, name);
    for (int i = 0; i < e->count; i++) {
        if (!notes[i])
            continue;
        undo_touch_ticks(s, m, notes[i]->x, notes[i]->total_len + growth);
        recut_note(s, m, notes[i], [&](note *n) { change(m, n, &e->pitches[i]); });
    }
    undo_commit(s, 1);
    edited = 1;
    if (m == s->ref_measure)
        adjust_offset_x();
    sound_chord(m, find_entered(m, *e, e->pitches[0]));
    return 1;
}

int read_key_step(int scancode) {
    static const int letter_scancodes[STEPS_PER_OCTAVE] = {KEY_C, KEY_D, KEY_E, KEY_F,
                                                           KEY_G, KEY_A, KEY_B};
    for (int step = 0; step < STEPS_PER_OCTAVE; step++)
        if (letter_scancodes[step] == scancode)
            return step;
    return -1;
}

// ---- Typed keys ----

void leave_by_escape() {
    note_input_stop();
    // The Esc that left the mode must not also be taken as the wish to quit.
    poll_keyboard();
    while (key[KEY_ESC]) {
        rest(ESCAPE_POLL_MS);
        test_signals_poll(test_signals_fence(), 1);
        poll_keyboard();
    }
    clear_keybuf();
}

void typed_length(int scancode) {
    for (int i = 0; i < LENGTH_KEYS; i++) {
        if (length_key_table[i].scancode == scancode) {
            note_type = get_length_key_ticks(i);
            push_note_length(note_type);
            return;
        }
    }
}

void typed_arrow(int scancode, int shifts) {
    int up = scancode == KEY_UP ? 1 : -1;
    if (scancode == KEY_LEFT || scancode == KEY_RIGHT) {
        note_input_move_caret(&g_score, scancode == KEY_RIGHT ? 1 : -1);
    } else if (shifts & KB_ALT_FLAG) {
        note_input_change_track(&g_score, -up);
    } else {
        note_input_transpose(&g_score, up * ((shifts & KB_CTRL_FLAG) ? SEMITONES_PER_OCTAVE : 1));
    }
    mouse_visible = 0;
}

bool is_arrow(int scancode) {
    return scancode == KEY_UP || scancode == KEY_DOWN || scancode == KEY_LEFT ||
           scancode == KEY_RIGHT;
}

// One typed key; false when the mode ended with it.
bool typed_key(int scancode, int ascii, int shifts) {
    if (scancode == KEY_ESC) {
        leave_by_escape();
        return false;
    }
    if (scancode == KEY_N && !(shifts & KB_CTRL_FLAG)) {
        note_input_stop();
        return false;
    }
    int step = read_key_step(scancode);
    if (shifts & (KB_CTRL_FLAG | KB_ALT_FLAG)) {
        if (is_arrow(scancode))
            typed_arrow(scancode, shifts);
    } else if (step >= 0) {
        bool upper = std::isupper(static_cast<unsigned char>(ascii)) != 0;
        note_input_letter(&g_score, step, upper != ((shifts & KB_CAPSLOCK_FLAG) != 0));
    } else if (ascii == '+' || scancode == KEY_PLUS_PAD) {
        note_input_extend(&g_score);
    } else if (scancode == KEY_BACKSPACE) {
        note_input_backspace(&g_score);
    } else if (is_arrow(scancode)) {
        typed_arrow(scancode, shifts);
    } else {
        typed_length(scancode);
    }
    return true;
}

void start_caret(score *s) {
    note_caret.shown = 1;
    note_caret.bass = 0;
    if (s->select_start) {
        place_caret(s, get_pos_by_measure(s, s->select_start), s->select_start_x);
    } else {
        place_caret(s, std::max(0, s->ref_x - 1), 0);
    }
    int row = std::clamp(offset_y / track_height, 0, std::max(0, n_active_track - 1));
    note_caret.track = n_active_track > 0 ? active_track[row] : 0;
}

} // namespace

bool note_input_active() {
    return active;
}

void note_input_start(score *s) {
    active = true;
    entries.clear();
    forget_reference();
    start_caret(s);
    keep_caret_visible(s);
}

void note_input_stop() {
    stop_sound();
    active = false;
    note_caret.shown = 0;
    entries.clear();
}

int nearest_letter_pitch(int step, int key, int ref_pos_y, int *pos_y_out) {
    int mod, level;
    get_mod_level(ref_pos_y - step, STEPS_PER_OCTAVE, &mod, &level);
    // The letter lies mod steps below the reference in level's octave, or 7 - mod above.
    int pos_y = step + STEPS_PER_OCTAVE * (mod > STEPS_PER_OCTAVE / 2 ? level + 1 : level);
    note n;
    init_note(&n);
    set_note_pos(key, &n, pos_y, 0, 1);
    *pos_y_out = pos_y;
    return n.pitch;
}

int note_input_letter(score *s, int step, int add_to_chord) {
    if (!active)
        return 0;
    if (add_to_chord && add_to_last_chord(s, step))
        return 1;
    measure *m = caret_measure(s);
    int key = m ? m->key : default_key;
    int pos_y;
    int pitch = nearest_letter_pitch(step, key, reference_pos(), &pos_y);
    return enter_pitches(s, &pitch, &pos_y, 1);
}

int note_input_pitches(score *s, const int *pitches, int count) {
    return active ? enter_pitches(s, pitches, nullptr, count) : 0;
}

void note_input_chord(const int *keys, int count) {
    if (!active || count <= 0 || !keys)
        return;
    int pitches[MAX_CHORD];
    int n = 0;
    for (int i = 0; i < count && n < MAX_CHORD; i++)
        if (keys[i] >= 0 && keys[i] <= MIDI_DATA_MAX)
            pitches[n++] = keys[i] - KEY_OF_MIDDLE_C;
    std::sort(pitches, pitches + n);
    enter_pitches(&g_score, pitches, nullptr, n);
}

int note_input_transpose(score *s, int semitones) {
    if (!active)
        return 0;
    return change_last_chord(s, "transpose note", 0, [&](measure *m, note *n, int *pitch) {
        int p = std::clamp(n->pitch + semitones, LOWEST_PITCH, HIGHEST_PITCH);
        n->pitch = static_cast<int16_t>(p);
        *pitch = p;
        get_note_pos_y(m, n);
    });
}

int note_input_extend(score *s) {
    entry *e = active ? last_entry() : nullptr;
    if (!e)
        return 0;
    int add = entry_length();
    int end = 0;
    int done = change_last_chord(s, "tie note", add, [&](measure *, note *n, int *) {
        n->len = n->total_len = static_cast<int16_t>(std::min(n->total_len + add, INT16_MAX));
        end = std::max(end, static_cast<int>(n->total_len));
    });
    if (done) {
        place_caret(s, e->measure_index, e->x + end);
        keep_caret_visible(s);
    }
    return done;
}

int note_input_staccato(score *s) {
    entry *e = active ? last_entry() : nullptr;
    measure *m;
    note *notes[MAX_CHORD];
    if (!e || !last_chord_notes(s, e, &m, notes))
        return 0;
    // Marked when any of its notes is not, else cleared.
    unsigned mark =
        std::any_of(notes, notes + e->count, [](const note *n) { return n && !n->staccato; });
    return change_last_chord(s, "staccato", 0,
                             [&](measure *, note *n, int *) { n->staccato = mark; });
}

int note_input_backspace(score *s) {
    entry *e = active ? last_entry() : nullptr;
    if (!e)
        return 0;
    measure *m;
    note *notes[MAX_CHORD];
    int found = last_chord_notes(s, e, &m, notes);
    stop_sound();
    if (found) {
        undo_begin(s, "delete note");
        for (int i = 0; i < e->count; i++) {
            if (!notes[i])
                continue;
            undo_touch_ticks(s, m, notes[i]->x, notes[i]->total_len);
            int reach = note_compress_by_measure(m, notes[i]);
            _delete_note_list(&m->notes, notes[i], nullptr);
            validate_following(m, reach, nullptr);
        }
        validate_measure(m);
        undo_commit(s, 1);
        edited = 1;
        if (m == s->ref_measure)
            adjust_offset_x();
    }
    place_caret(s, e->caret_measure_before, e->caret_x_before);
    has_ref = e->ref_before != NO_REFERENCE;
    ref_pos_y = e->ref_before;
    entries.pop_back();
    keep_caret_visible(s);
    return 1;
}

int note_input_move_caret(score *s, int direction) {
    if (!active)
        return 0;
    int before_i = note_caret.measure_index, before_x = note_caret.x;
    place_caret(s, before_i, before_x + direction * entry_length());
    keep_caret_visible(s);
    return before_i != note_caret.measure_index || before_x != note_caret.x;
}

int note_input_change_track(score *s, int direction) {
    if (!active || n_active_track <= 0)
        return 0;
    int row = active_track_order[note_caret.track];
    int next = row < 0 ? 0 : row + direction;
    if (next < 0 || next >= n_active_track)
        return 0;
    note_caret.track = active_track[next];
    forget_reference();
    keep_caret_visible(s);
    return 1;
}

void note_input_click(score *s, int x, int y) {
    int column, row, track;
    measure *m = screen_score(s, x, y, &column, &row, &track);
    if (!m)
        return;
    note_caret.track = track;
    note_caret.bass = row < 0;
    click_row = row;
    place_caret(s, get_pos_by_measure(s, m), get_near_x_by_pos_x(m, column));
    forget_reference();
}

void note_input_click_entered(score *s) {
    measure *m = caret_measure(s);
    note *n = m ? find_note_by_x(m, note_caret.x, click_row, note_caret.track) : nullptr;
    if (!n)
        return;
    entry e = new_entry(note_caret.track);
    e.pitches[e.count++] = n->pitch;
    remember(e);
    ref_pos_y = n->pos.y;
    has_ref = true;
    place_caret(s, e.measure_index, e.x + n->total_len);
    keep_caret_visible(s);
}

void note_input_read_keys() {
    while (keypressed()) {
        int k = readkey();
        int scancode = k >> 8;
        if (active) {
            if (!typed_key(scancode, k & 0xff, key_shifts))
                break;
        } else if (scancode == KEY_N && !(key_shifts & KB_CTRL_FLAG)) {
            note_input_start(&g_score);
        }
    }
}

int note_input_owns_key(int scancode) {
    static const int owned[] = {
        KEY_A,  KEY_B,    KEY_C,    KEY_D,     KEY_E,      KEY_F,        KEY_G,         KEY_N,
        KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_EQUALS, KEY_PLUS_PAD, KEY_BACKSPACE, KEY_ESC};
    for (int k : owned)
        if (k == scancode)
            return 1;
    return 0;
}

void note_input_idle() {
    if (!sounding.empty() && get_time2(&sound_timer, 0) >= SOUND_MS)
        stop_sound();
}
