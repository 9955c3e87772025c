// The modal edit dialogs opened from the menu and from keys: measure settings, insertion of
// measures, the MIDI import grid, volumes, note length and volume, go to measure, key,
// transposition, tempo of a selection, tie and untie, the edit-sound options, the help window
// and the track settings. Each returns 1 when done or when it had nothing to do, 0 when the
// user cancelled or a precondition failed (after saying so).
#pragma once

#include "gui/dialog_apply.h"

// The text buffers of the dialogs' number fields, shared by every dialog that shows them.
extern char num_text[FIELD_TEXT_SIZE];
extern char bit_text[FIELD_TEXT_SIZE];
extern char volume_text[FIELD_TEXT_SIZE];
extern char tempo_text[FIELD_TEXT_SIZE];
extern char track_text[FIELD_TEXT_SIZE];

struct DIALOG;
// What run_dialog returns when Esc closed the dialog: the library's modal loop answers Esc
// wherever the pointer is, and every dialog takes it as its cancel button.
constexpr int DIALOG_ESCAPED = -1;
// Runs a modal dialog with the focus on record focus and returns the record that closed it
// (DIALOG_ESCAPED for Esc). It returns once Esc is released, so that the Esc that closed a
// dialog is not taken by the editor as a request to quit.
int run_dialog(DIALOG *d, int focus);

int menu_set_tempo();
int menu_track_property();
int menu_tie();
int menu_untie();
int do_go_measure_dialog();
int do_set_note_length_and_volume_dialog();
int do_set_volume_dialog();
int menu_help();
int menu_insert_measures();
int menu_set_key();
int menu_transpose();
int do_set_default_volume_dialog();
int do_option_dialog();
// Asks for the quantisation grid of a MIDI import (midi_atom); 0 cancels the import.
int do_midi_resolution_dialog();
// Asks for the settings of a new measure (default_num, default_bit, default_tempo, the number
// of tracks, default_key); 0 when cancelled.
int menu_compose_dialog();
