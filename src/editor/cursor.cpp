// The editor's sounding set: a chunked array of note pointers, the choice of the notes that
// sound with an edited note, switching them on and off through the reference-counted note
// layer, and the listening strip that plays the column under the pointer.
#include "editor/cursor.h"

#include <allegro.h>
#include <cstdlib>

#include "editor/interface.h"
#include "editor/test_signals.h"
#include "model/layout.h"
#include "playback/sound.h"

coord cursor;
note_p_array *cur_position_notes = nullptr;
int n_cur_position_notes = 0;
note sn;
note *selected_note = nullptr;
int edit_sound_mode = EDIT_SOUND_TRACK;
int starting_notes_only = 1;

// ---- The chunked pointer array ----

note_p_array *init_note_p_array(note_p_array *a) {
    a->next = a->prev = nullptr;
    a->size = 0;
    a->items = nullptr;
    return a;
}

note_p_array *create_note_p_array(int size) {
    note_p_array *chunk = new_note_p_array();
    chunk->items = static_cast<note **>(std::malloc(sizeof(note *) * (size > 0 ? size : 1)));
    if (!chunk->items)
        list_out_of_memory();
    chunk->size = size;
    return chunk;
}

note_p_array *get_note_p_array_node(note_p_array *array, int i, int chunk_size, int *index_out) {
    note_p_array *chunk = array;
    while (i >= chunk->size) {
        i -= chunk->size;
        if (!chunk->next)
            _insert_note_p_array(chunk, create_note_p_array(chunk_size));
        chunk = chunk->next;
    }
    *index_out = i;
    return chunk;
}

note **_get_note_p_array(note_p_array *array, int i, int chunk_size) {
    int index;
    note_p_array *chunk = get_note_p_array_node(array, i, chunk_size, &index);
    return &chunk->items[index];
}

note **get_note_p_array(note_p_array *array, int i) {
    return _get_note_p_array(array, i, array->size);
}

void destroy_note_p_array_function(note_p_array *chunk) {
    std::free(chunk->items);
    chunk->items = nullptr;
}

void truncate_note_p_array(note_p_array *array, int i, int chunk_size) {
    int index;
    note_p_array *chunk = get_note_p_array_node(array, i, chunk_size, &index);
    if (chunk->next)
        _kill_note_p_array_list(chunk->next, destroy_note_p_array_function);
}

void destroy_note_p_array(note_p_array *array) {
    if (array)
        _kill_note_p_array_list(array, destroy_note_p_array_function);
}

// ---- The sounding set ----

int valid_note(note *n) {
    if (!n || n->rest || note_key(n) <= 0)
        return 0;
    return !g_score.tracks[n->track].mute;
}

int in_x_range(note *n, int x) {
    if (starting_notes_only)
        return n->x == x;
    return n->x <= x && x < n->x + n->len;
}

static void append_sounding(note *n) {
    *get_note_p_array(cur_position_notes, n_cur_position_notes) = n;
    n_cur_position_notes++;
}

void _get_cur_position_notes(measure *m, note *sel, int x, int mode) {
    n_cur_position_notes = 0;
    if (valid_note(sel)) {
        sn = *sel;
        append_sounding(&sn);
    } else {
        sn.rest = 1;
    }
    if (mode != EDIT_SOUND_TRACK && mode != EDIT_SOUND_ALL)
        return;
    for (note *n = m->notes.head; n && n->x <= x; n = n->next) {
        if (n == sel || !valid_note(n) || !in_x_range(n, x))
            continue;
        if (mode == EDIT_SOUND_TRACK && (!sel || n->track != sel->track))
            continue;
        append_sounding(n);
    }
}

void get_cur_position_notes(measure *m, note *sel) {
    if (edit_sound_mode)
        _get_cur_position_notes(m, sel, sel ? sel->x : 0, edit_sound_mode);
}

// A snapshot that stopped sounding keeps its slot; it must not be given a second one.
static int holds_snapshot() {
    for (int i = 0; i < n_cur_position_notes; i++)
        if (*get_note_p_array(cur_position_notes, i) == &sn)
            return 1;
    return 0;
}

void update_selected_note(note *n) {
    int was_sounding = !sn.rest;
    if (was_sounding)
        note_off(note_channel(&sn), note_key(&sn));
    if (!valid_note(n)) {
        sn.rest = 1;
        return;
    }
    if (!was_sounding && !holds_snapshot())
        append_sounding(&sn);
    sn = *n;
    note_on(note_channel(&sn), note_key(&sn), default_volume);
}

void edit_sound_on() {
    for (int i = 0; i < n_cur_position_notes; i++) {
        note *n = *get_note_p_array(cur_position_notes, i);
        note_on(note_channel(n), note_key(n), n->volume);
    }
}

void edit_sound_off() {
    for (int i = 0; i < n_cur_position_notes; i++) {
        note *n = *get_note_p_array(cur_position_notes, i);
        if (!n->rest)
            note_off(note_channel(n), note_key(n));
    }
    n_cur_position_notes = 0;
}

note *get_last_note(measure *m) {
    return m->notes.tail;
}

// ---- The listening strip ----

void play_listening_strip(score *s) {
    measure *last_measure = nullptr;
    int last_column = -1;
    show_mouse(screen);
    send_track_patches();
    while (mouse_b & 1) {
        // A millisecond's sleep per pass keeps a held button from spinning a whole core.
        rest(1);
        test_signals_poll(test_signals_fence(), 1);
        poll_mouse();
        poll_keyboard();
        int column, row, track;
        measure *m = screen_score(s, mouse_x, mouse_y, &column, &row, &track);
        if (!m || (m == last_measure && column == last_column))
            continue;
        edit_sound_off();
        _get_cur_position_notes(m, nullptr, get_near_x_by_pos_x(m, column), EDIT_SOUND_ALL);
        last_measure = m;
        last_column = column;
        edit_sound_on();
    }
    edit_sound_off();
}
