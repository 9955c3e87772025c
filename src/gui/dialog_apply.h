// What the edit dialogs do to the score and the settings once their fields are read: the
// proposals they show, the limits of every field, and the edits themselves. Nothing here opens
// a window, so each dialog's effect can be exercised without a screen.
#pragma once

#include <cstddef>

#include "model/score.h"

// The dialogs' shared text buffers. Fields hold at most 14 characters, but the GUI stores text
// as UTF-8, where one character may take up to 6 bytes.
constexpr int FIELD_TEXT_SIZE = 96;
constexpr int KEY_ROWS = 15; // key list rows: 7 sharps down to 7 flats
constexpr int MAX_VELOCITY = 127;
constexpr int MAX_NOTE_LENGTH = 32767; // ticks; lengths are 16-bit
constexpr int MAX_SCORE_TRACKS = 31;   // tracks a score may be given: all export to MIDI
constexpr int MAX_MIDI_ATOM = 256;
constexpr int MAX_INSERTED_MEASURES = 9999; // measures one insertion may add

// Key list rows: row 0 is "7 sharp", row 7 "C", row 14 "7 flat". For a negative index the
// getter stores the row count into *count (when given) and returns null.
char *key_list_getter(int index, int *count);
int key_of_row(int row); // 7 - row, with the row bounded to the list
int row_of_key(int key); // 7 - key, bounded to the list

// A field read as an int: atoi's reading, bounded to int instead of overflowing.
int field_int(const char *text);
// A field read by the calculator, truncated toward zero; 0 when the text does not evaluate.
int field_calc(const char *text);

// Measure settings: the four fields and the chosen key row become default_num, default_bit,
// the score's default_tempo and track_num, and default_key. A non-positive beat count or beat, or a
// pair whose measure length falls outside 1..32767 ticks, keeps the former time signature; a
// non-positive tempo keeps the former tempo; the track count is bounded to 1..31.
void apply_compose_fields(const char *num, const char *bit, const char *tempo, const char *tracks,
                          int key_row);

// The MIDI import grid proposal "3*atom" and the atom a typed grid gives: the largest power of
// two not above |value / 3|; previous when that is 0 or above 256.
void midi_grid_text(char *out, size_t size, int atom);
int midi_atom_from_text(const char *text, int previous);
// The grid dialog's words: "automatic" (quantise for notation) and "exact" (the grid rule on
// the grid in force). The proposal is "automatic" in that mode, else the grid.
constexpr const char *MIDI_GRID_AUTO_WORD = "automatic";
constexpr const char *MIDI_GRID_EXACT_WORD = "exact";
void midi_grid_choice_text(char *out, size_t size, int automatic, int atom);
// Reads the dialog's text: a word chooses its mode; a grid value chooses the exact rule on that
// grid; any other text keeps both.
void midi_grid_from_text(const char *text, int *automatic, int *atom);
// The default volume a typed text gives: its value when in 0..127, else previous.
int default_volume_from_text(const char *text, int previous);
// A velocity typed for notes: the calculator's value (0 when it fails) bounded to 0..127.
int velocity_from_text(const char *text);

// Inserts n empty measures with the cursor measure's signature before the cursor measure; the
// cursor ends on the first of them. 0 without a score cursor, else 1 (nothing for n <= 0).
int insert_measures(score *s, int n);

// The message a selection command shows before its dialog: "Selection is'nt set.See Help."
// without a valid selection, "Selection is empty" for an empty one, else null.
const char *selection_problem(score *s);
// The mean velocity of the selected elements (rests included), default_volume when none.
int selection_average_volume(score *s);
// Gives every selected element the velocity; returns how many were visited.
int set_selection_volume(score *s, int velocity);

// The length proposal of a note: "3*(n)" when its total length is a multiple of 3, else "n".
void note_length_text(const note *n, char *out, size_t size);
// Gives the note under edit (of measure m) the whole length len, bounded to 32767, and splits
// it again at the bar lines. len <= 0 changes nothing and returns 0; else sets edited, returns 1.
int apply_note_length(score *s, measure *m, note *n, int len);
// Gives the note the velocity bounded to 127; a velocity <= 0 changes nothing. 1 when applied.
int apply_note_volume(note *n, int velocity);

// Moves the view's first measure toward measure number n (1-based) as far as the score goes.
void go_to_measure(score *s, int n);

// The tempo proposal for the selection: "t" when the tempo at its start and before its end
// agree, else "(t1+t2)/2"; *t2 receives the tempo in force before the selection end.
void tempo_proposal(score *s, char *out, size_t size, int *t2);
// Sets the tempo typed as text at the selection start and restores t2 at its end when they
// differ. Returns the message to show ("Invalid expression", "Invalid tempo (<1)") or null.
const char *apply_selection_tempo(score *s, const char *text, int t2);

// Ties n (of measure m) to the earlier piece that ends where n starts. Null when tied, else
// the message to show. Only a note that begins its chain and an earlier note that ends its
// chain are joined, and never into a note longer than 32767 ticks.
const char *tie_note(measure *m, note *n);
// Unties n from the piece before it. Null when untied, else the message to show.
const char *untie_note(note *n);
