// Note entry with the mouse: entering a note by a click, dragging a note across columns, staff
// positions, measures and tracks while changing its accidental and length, deleting the note
// under the pointer and switching its staccato mark.
#pragma once

#include "model/score.h"

// Enters a note of the current length at screen point (x, y): 1 when done or nothing had to be
// done, 0 (after "note insertion failed...\n") when the point is not on the score.
int screen_insert_note_list(score *s, int x, int y, int accidental);
// The length a new note gets: note_type, made dotted in dot mode unless it is dotted or a
// triplet already.
int entry_length();
// Puts the new note n (its x, len, track and spelling set) into m by the model's edit cycle,
// recorded for undo: sorted into the measure, split at the bar line into tied pieces in the
// following measures (appended as needed), every measure it reaches laid out again.
void insert_entered_note(score *s, measure *m, note *n);
// Re-lays out the count measures after m (fewer at the end of the score), except skip.
void validate_following(measure *m, int count, measure *skip);
// When the first piece of a note of the track under (x, y) lies there, drags it while the left
// button is held and puts it back on release; returns 1. Returns 0 when there is no such note.
int drag_note(score *s, int x, int y);
// The left button below the status panel in insert mode: drags the note under (x, y), or
// enters a new one there. Returns 1 when a new note was entered.
int edit_note_at_pointer(score *s, int x, int y);
// The drag, step by step (drag_note runs it while the left button is held).
struct drag_state {
    score *s;
    note *n;          // the dragged note, one unsplit element while dragged
    measure *m0;      // where it was picked up
    measure *m;       // where it is now
    note ghost;       // a silent copy of len 0 that keeps the columns of m0 in place
    int reach;        // measures after m0 that held pieces of n
    int last_channel; // what sounds now
    int last_key;
    int last_column;
    int saved_note_type; // the entry length and history position before the drag
    int saved_history_cur;
};
// Joins n's tied pieces into it, leaves the ghost in m0 and sends every track's instrument.
void drag_begin(drag_state *d, score *s, measure *m0, note *n);
// Moves the note to the pointer at (x, y) with the held keys; 0 when (x, y) is off the score.
int drag_step(drag_state *d, int x, int y);
// Puts the note back: removes the ghost, ties the note at the bar lines, lays out the
// measures concerned, silences the edit sound, clears selected_note and gives back the entry
// length and history position of before the drag.
void drag_end(drag_state *d);
// Deletes the note under the point with its tied pieces: 1 when deleted, 0 when none.
int delete_note(score *s, int x, int y);
// "delete note" and Del: deletes the note under the pointer of the last event; marks the score
// edited when a note was deleted. Returns 1.
int menu_delete_note();
// Switches the staccato mark of the whole note under the point (any of its pieces), or, with
// no note there, of the notes starting in the selection (all marked, unless all were: then all
// cleared); one undo step "staccato". 1 when a mark changed, 0 when there was nothing to mark.
int toggle_staccato(score *s, int x, int y);
// "staccato" and Shift+. (through its key command): toggle_staccato at the pointer of the last
// event; marks the score edited when a mark changed. Returns 1.
int menu_staccato();
