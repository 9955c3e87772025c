// Note entry with the mouse: a click enters a note of the current length; a press on a note
// drags it (pitch, column, measure, track, accidental and length follow the pointer and the
// keys) and puts it back on release, tied at the bar lines; Del deletes the note under the
// pointer with all its tied pieces; Shift+. switches the staccato mark of the note under the
// pointer or of the selected notes.
#include "editor/edit.h"

#include <allegro.h>
#include <cstdio>

#include "base/clock.h"
#include "editor/cursor.h"
#include "editor/history.h"
#include "editor/interface.h"
#include "editor/keys.h"
#include "editor/mainloop.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "editor/test_signals.h"
#include "model/seq.h"
#include "model/staccato.h"
#include "model/undo.h"
#include "playback/sound.h"
#include "render/draw.h"

constexpr int HISTORY_REPEAT_MS = 140;

static int ctrl_is_held() {
    return key[KEY_LCONTROL] || key[KEY_RCONTROL];
}

void validate_following(measure *m, int count, measure *skip) {
    for (measure *next = m->next; next && count > 0; next = next->next, count--)
        if (next != skip)
            validate_measure(next);
}

// ---- Entering a note ----

int entry_length() {
    int len = note_type;
    if (dot_mode && !is_dot_length(len) && !is_triplet(len))
        len = len * 3 / 2;
    return len;
}

int screen_insert_note_list(score *s, int x, int y, int accidental) {
    int column, row, track;
    measure *m = screen_score(s, x, y, &column, &row, &track);
    if (!m) {
        std::printf("note insertion failed...\n");
        return 0;
    }
    note *n = new_note();
    n->len = n->total_len = static_cast<int16_t>(entry_length());
    n->track = static_cast<int8_t>(track);
    set_note_pos(m->key, n, row, accidental, 1);
    n->x = get_near_x_by_pos_x(m, column);
    if (key[KEY_SPACE] && n->x + n->len < m->len) {
        // A note of this track and staff position already waits one length later.
        if (find_note_by_x(m, n->x + n->len, row, track)) {
            _delete_note(n);
            return 1;
        }
        n->x += n->len;
    }
    insert_entered_note(s, m, n);
    return 1;
}

void insert_entered_note(score *s, measure *m, note *n) {
    undo_touch_ticks(s, m, n->x, n->len);
    _insert_sorted_note_list(&m->notes, n, note_comp);
    // Lay out the note's measure and every measure it reaches, so that a tied piece never
    // shares its measure with the full-measure rest it replaces.
    _note_expand_by_measure(s, m, n, 1);
    if (m == s->ref_measure)
        adjust_offset_x();
}

// ---- Dragging a note ----

void drag_begin(drag_state *d, score *s, measure *m0, note *n) {
    d->s = s;
    d->n = n;
    d->m0 = d->m = m0;
    d->last_channel = d->last_key = 0;
    d->last_column = -1;
    d->saved_note_type = note_type;
    d->saved_history_cur = note_length_queue_header.cur;
    undo_touch_ticks(s, m0, n->x, n->total_len);
    d->reach = note_compress_by_measure(m0, n);
    d->ghost = *n;
    d->ghost.rest = 1;
    d->ghost.len = 0;
    d->ghost.l_next = d->ghost.l_prev = nullptr;
    _insert_sorted_note_list(&m0->notes, &d->ghost, note_comp);
    send_track_patches();
}

static void set_dragged_length(note *n, int len) {
    n->len = n->total_len = static_cast<int16_t>(len);
}

static void apply_length_keys(note *n) {
    if (!is_dot_length(n->len) && key[KEY_SLASH])
        set_dragged_length(n, n->len * 3 / 2);
    else if (is_dot_length(n->len) && key[KEY_COMMA])
        set_dragged_length(n, n->len * 2 / 3);
    for (int i = 0; i < LENGTH_KEYS; i++) {
        if (key[length_key_table[i].scancode]) {
            note_type = get_length_key_ticks(i);
            set_dragged_length(n, note_type);
        }
    }
}

static void apply_history_keys(note *n) {
    int back = key[KEY_COLON], forward = !back && key[KEY_QUOTE];
    if ((!back && !forward) || !time_passed(&note_length_queue_timer, HISTORY_REPEAT_MS))
        return;
    if (back ? note_length_history_back() : note_length_history_forward())
        set_dragged_length(n, note_type);
    waite_key_up();
}

static int dragged_column(note *n) {
    note *prev = n->prev;
    if (!prev)
        return 0;
    return prev->x < n->x ? prev->pos.x + 1 : prev->pos.x;
}

static void sound_dragged(drag_state *d) {
    note *n = d->n;
    int channel = note_channel(n), key_no = note_key(n);
    int column = n->pos.x;
    if (channel == d->last_channel && key_no == d->last_key && column == d->last_column)
        return;
    if (key_no == d->last_key && column == d->last_column && n_cur_position_notes > 0) {
        update_selected_note(n);
    } else {
        edit_sound_off();
        d->last_column = column;
        get_cur_position_notes(d->m, n);
        edit_sound_on();
    }
    d->last_channel = channel;
    d->last_key = key_no;
}

int drag_step(drag_state *d, int x, int y) {
    int column, row, track;
    measure *m2 = screen_score(d->s, x, y, &column, &row, &track);
    if (!m2)
        return 0;
    undo_touch_ticks(d->s, m2, 0, 0);
    note *n = d->n;
    int accidental = shift_held() ? 1 : ctrl_is_held() ? -1 : 0;
    apply_length_keys(n);
    apply_history_keys(n);
    n->track = static_cast<int8_t>(track);
    set_note_pos(m2->key, n, row, accidental, 1);
    n->x = get_near_x_by_pos_x(m2, column);
    n->triplet = is_triplet(n->len);
    _unlink_note_list(&d->m->notes, n);
    _insert_sorted_note_list(&m2->notes, n, note_comp);
    d->m = m2;
    n->pos.x = static_cast<int16_t>(dragged_column(n));
    sound_dragged(d);
    update_measure_order(m2, 1);
    return 1;
}

void drag_end(drag_state *d) {
    _unlink_note_list(&d->m0->notes, &d->ghost);
    undo_touch_ticks(d->s, d->m, d->n->x, d->n->len);
    _note_expand_by_measure(d->s, d->m, d->n, 1);
    if (d->m0 != d->m)
        validate_measure(d->m0);
    edit_sound_off();
    validate_following(d->m0, d->reach, d->m);
    if (d->m == d->s->ref_measure)
        adjust_offset_x();
    // Length changes made during the drag belong to the dragged note only.
    selected_note = nullptr;
    note_type = d->saved_note_type;
    note_length_queue_header.cur = d->saved_history_cur;
}

static void show_drag_picture() {
    draw_all(current_view());
    show_mouse(nullptr);
    _blit();
    show_mouse(screen);
}

int drag_note(score *s, int x, int y) {
    note *n = nullptr;
    measure *m0 = screen_score_find_note(s, x, y, &n, 1);
    if (!m0 || !n)
        return 0;
    selected_note = n;
    edited = 1;
    if (!(mouse_b & 1))
        return 1;
    drag_state d;
    undo_begin(s, "move note");
    drag_begin(&d, s, m0, n);
    while (mouse_b & 1) {
        show_drag_picture();
        test_signals_poll(test_signals_fence(), 1);
        poll_mouse();
        poll_keyboard();
        if (!drag_step(&d, mouse_x, mouse_y))
            break;
    }
    drag_end(&d);
    undo_commit(s, 1);
    return 1;
}

int edit_note_at_pointer(score *s, int x, int y) {
    if (drag_note(s, x, y))
        return 0;
    undo_begin(s, "enter note");
    return undo_commit(s, screen_insert_note_list(s, x, y, 0));
}

// ---- Deleting a note ----

int delete_note(score *s, int x, int y) {
    note *n = nullptr;
    measure *m = screen_score_find_note(s, x, y, &n, 1);
    if (!m || !n)
        return 0;
    undo_touch_ticks(s, m, n->x, n->total_len);
    int reach = note_compress_by_measure(m, n);
    if (selected_note == n)
        selected_note = nullptr;
    _delete_note_list(&m->notes, n, nullptr);
    validate_measure(m);
    // The measures that held its tied pieces are laid out again too, so none is left with a
    // silent stretch and no rest.
    validate_following(m, reach, nullptr);
    if (m == s->ref_measure)
        adjust_offset_x();
    return 1;
}

int menu_delete_note() {
    undo_begin(&g_score, "delete note");
    if (undo_commit(&g_score, delete_note(&g_score, cursor.x, cursor.y)))
        edited = 1;
    return 1;
}

// ---- The staccato mark ----

int toggle_staccato(score *s, int x, int y) {
    note *n = nullptr;
    measure *m = screen_score_find_note(s, x, y, &n, 0);
    undo_begin(s, "staccato");
    if (m && n) {
        undo_touch(s, m, m);
        set_chain_staccato(n, !_l_start_note(n)->staccato);
        return undo_commit(s, 1);
    }
    if (valid_selection(s))
        undo_touch(s, s->select_start, s->select_end);
    return undo_commit(s, toggle_selection_staccato(s) > 0);
}

int menu_staccato() {
    if (toggle_staccato(&g_score, cursor.x, cursor.y))
        edited = 1;
    return 1;
}
