// The editor picture: the status panel, one grand staff per visible track row, key and time
// signatures, notes and rests with their accidentals, ledger lines, dots, triplet marks and
// ties, bar lines, the score cursor and the selection brackets, all drawn into buf.
#pragma once

#include <allegro.h>

#include "model/score.h"

// Left margin of the staff lines and of the signatures shown there.
constexpr int STAFF_MARGIN = 48;

extern int draw_start_track; // first visible row
extern int draw_end_track;   // last visible row
extern int bar_top;          // vertical extent of the bar lines
extern int bar_bottom;

// What the picture shows besides the score and its view: the editor's modes, the entry length,
// the file's name and state, the panel's height and the note being dragged (null when none).
struct editor_view {
    int insert_mode; // insert mode, else select mode
    int dot_mode;
    int entry_length; // ticks
    int edited;
    const char *filename;
    int panel_height;
    const note *held_note;
};

// Draws the complete picture into buf.
void draw_all(const editor_view &view);
// Computes draw_start_track and draw_end_track from offset_y; returns draw_end_track.
int get_draw_track();
void get_draw_bar(score *s);
// The ten staff lines and the track label of a row.
void draw_five_lines(score *s, int row);
// Every measure from ref_measure on that starts left of limit.x, with the signatures.
void draw_score(score *s);
// Notes, ties, bar line and selection brackets of m, drawn x pixels right of origin.x.
void draw_measure(score *s, int x, measure *m);
// A key signature (key > 0 sharps, < 0 flats) in both staves of row, starting at x, around the
// centre line cy with staff steps of h pixels; with cancel, naturals in the same places.
void draw_key(int row, int x, int cy, int h, int key, int cancel);
// One note or rest of a measure in key; sel is the measure's selection class.
void _draw_note(BITMAP *bmp, score *s, int key, note *n, int sel);
// Screen x of the note input caret (drawn over its staff by draw_score); -1 when the caret is
// off or not in a measure on the screen.
int caret_screen_x(score *s);
// The tie strokes a note needs towards its previous and next pieces.
void draw_tie(score *s, measure *m, int x, note *n);
void _draw_tie(score *s, note *n, int from_outside, int to_outside);
