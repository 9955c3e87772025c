// Note input mode: a caret on one staff of one track where typed notes go. Letters enter
// pitches in the measure's key at the octave nearest the previous note, the arrows transpose
// the last chord or move the caret, Backspace takes the last chord back, Shift+. marks it
// staccato; MIDI chords enter here.
#pragma once

#include "model/score.h"

// Whether note input mode is on.
bool note_input_active();
// MIDI keys 0..127 entered as one chord at the caret with the current length, spelled for the
// measure's key; the caret moves on; one undo step; sounds like typed entry. Does nothing when
// the mode is off or count <= 0. Call it on the main thread.
void note_input_chord(const int *keys, int count);

// Switches the mode on, the caret at the selection start, else at the first measure on screen.
void note_input_start(score *s);
void note_input_stop();

// The actions of the mode on s; each changing one is one undo step. They return 1 when they
// did something.
// The letter step (0 C .. 6 B) at the caret, or with add_to_chord above the chord just entered.
int note_input_letter(score *s, int step, int add_to_chord);
// The last entered chord moved by semitones (an octave is 12), re-spelled for the key.
int note_input_transpose(score *s, int semitones);
// The caret one current length forward (direction 1) or back (-1); skipped time stays rest.
int note_input_move_caret(score *s, int direction);
// The caret to the previous (-1) or next (1) shown track.
int note_input_change_track(score *s, int direction);
// Removes the last entered chord and puts the caret back where it was entered.
int note_input_backspace(score *s);
// Extends the last entered chord by the current length, tied on across bar lines.
int note_input_extend(score *s);
// Marks the last entered chord staccato, or clears the mark when all its notes have it.
int note_input_staccato(score *s);
// Enters the given pitches (0 = middle C) as one chord at the caret with the current length.
int note_input_pitches(score *s, const int *pitches, int count);

// The pitch of the letter step in key nearest (by staff position) to the staff position
// ref_pos_y; *pos_y_out receives its staff position.
int nearest_letter_pitch(int step, int key, int ref_pos_y, int *pos_y_out);

// A left click at (x, y) in the mode puts the caret at its column, track and staff.
void note_input_click(score *s, int x, int y);
// The click also entered a note at the caret: the caret passes it and it is the last chord.
void note_input_click_entered(score *s);
// Reads every typed key from the keyboard buffer, once per press: out of the mode N starts
// it; in it, the mode's keys and the length keys apply (N and Esc leave it).
void note_input_read_keys();
// Whether scancode is one of the mode's keys, which the key table leaves to it in the mode.
int note_input_owns_key(int scancode);
// Called while the editor waits: ends the sounding of the last entered chord after its time.
void note_input_idle();
