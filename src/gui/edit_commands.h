// The edit commands of the menu and of their keys: the selection, copy, the blend and solid
// pastes and deletes, deleting the cursor's measure, and inserting a measure with new settings
// (also the first step of a new score). Each checks the editor's preconditions, reports a
// failed one as a warning and forwards to the score model.
#pragma once

extern const char NO_CURSOR_MESSAGE[];    // "Score Cursor is'nt set.See Help."
extern const char NO_SELECTION_MESSAGE[]; // "Nothing Selected.See Help."

int menu_select_start();
int menu_select_end();
int menu_copy();
int menu_paste_blend();
// Before anything was copied nothing is pasted and the warning "Nothing Selected.See Help."
// is shown.
int menu_paste_solid();
int menu_delete_blend();
int menu_delete_solid();
// Deletes the measure of the score cursor, unless it is the only one; 0 without a cursor.
int menu_delete_measure();
int menu_insert_new_property();

// Inserts before the cursor's measure an empty measure with the settings of the measure
// dialog; it becomes the cursor's measure. 0 without a cursor or when the dialog is cancelled.
int change_setting();
// The settings of a fresh score: its one measure is replaced by one with the dialog's
// settings; the selection, the cursor and the track table are reset. 0 when cancelled.
int new_setting();

// Forgets every pointer the editor holds into notes (the dragged or inspected note and the
// sounding set), for use after notes were freed.
void forget_note_pointers();
