// The notes the editor sounds while the user works: the pointer position of the last event,
// the growable array of note pointers that holds the sounding set, which notes join it (the
// edit-sound modes), switching them on and off, and the listening strip above the staves.
#pragma once

#include "model/score.h"

// One chunk of a growable array of note pointers; the chunks of an array are chained through
// next and prev, and new chunks take the size of the first.
struct note_p_array {
    note_p_array *next, *prev;
    int size;     // pointer slots in this chunk
    note **items; // the slots, owned by the chunk
};
typedef list_of<note_p_array> note_p_array_list;

note_p_array *init_note_p_array(note_p_array *a);

PLINKEL_LIST_FAMILY(note_p_array, "interface")

constexpr int CUR_POSITION_CHUNK = 128;

// A one-chunk array of size slots.
note_p_array *create_note_p_array(int size);
// Address of slot i; the chain grows by chunks of the first chunk's size until it exists.
note **get_note_p_array(note_p_array *array, int i);
note **_get_note_p_array(note_p_array *array, int i, int chunk_size);
// The chunk that holds slot i (grown by chunks of chunk_size), with the slot's index inside
// it in *index_out.
note_p_array *get_note_p_array_node(note_p_array *array, int i, int chunk_size, int *index_out);
// Releases every chunk after the one holding slot i.
void truncate_note_p_array(note_p_array *array, int i, int chunk_size);
// Releases every chunk of the array.
void destroy_note_p_array(note_p_array *array);
void destroy_note_p_array_function(note_p_array *chunk);

// Which notes sound while a note is edited.
enum edit_sound_modes {
    EDIT_SOUND_NONE = 0,   // "No edit sound"
    EDIT_SOUND_SINGLE = 1, // the edited note only
    EDIT_SOUND_TRACK = 2,  // it and the notes of its track at its start
    EDIT_SOUND_ALL = 3,    // it and the notes of all tracks at its start
};

extern coord cursor; // pointer position at the last input event
extern note_p_array *cur_position_notes;
extern int n_cur_position_notes; // valid slots of cur_position_notes
extern note sn;                  // snapshot of the edited note; rest set: not sounding
extern note *selected_note;      // the note being dragged or inspected, else null
extern int edit_sound_mode;      // EDIT_SOUND_*, initially EDIT_SOUND_TRACK
extern int starting_notes_only;  // non-zero: only notes starting exactly at the position count

// 1 when the note can sound: not null, not a rest, key above 0, track not muted.
int valid_note(note *n);
// 1 when the note counts at tick x.
int in_x_range(note *n, int x);
// Rebuilds the sounding set: the edited note sel (as a snapshot) and, by mode, the notes of its
// track or of all tracks at tick x of m.
void _get_cur_position_notes(measure *m, note *sel, int x, int mode);
void get_cur_position_notes(measure *m, note *sel);
// Re-sounds the snapshot after the edited note moved to another track.
void update_selected_note(note *n);
void edit_sound_on();
void edit_sound_off();
note *get_last_note(measure *m);

// Left button at or above the bottom of the status panel: sounds the column under the pointer
// in all tracks while the button is held, each column once, and silences it on release.
void play_listening_strip(score *s);
