// Where the play line stands: the play options, the spot being heard, its place on the screen,
// the page turn that keeps it in view, and the spot that "play from cursor" starts at.
#pragma once

#include "model/score.h"

// A place in the score: a measure and a tick inside it.
struct play_spot {
    measure *m;
    int tick;
};

// The toggles of the play menu, L and Ctrl+K; each is 0 or 1.
struct play_options_t {
    int loop;      // run round the selection until stopped
    int metronome; // click on the beats
    int count_in;  // one measure of clicks before the music
};
extern play_options_t play_options;

// What the renderer shows while music plays: the line at `at`, and the start in the panel.
struct play_line_t {
    int shown;       // music is playing and the line is drawn
    play_spot at;    // the spot being heard
    int from_number; // measure number (from 1) and beat (from 1) where the playback started
    int from_beat;
    int looping;     // the playback runs round a loop
    int counting_in; // the count-in measure is being clicked
    int background;  // background playback, which F8 stops (Q is a length key then)
    unsigned serial; // counts the playbacks started
};
extern play_line_t play_line;
// Shows the line at from, noting from as the start of the playback.
void start_play_line(score *s, play_spot from, int looping, int counting_in, int background);

// Pixels from the drawn start of m to the place of tick: between the columns of the shown
// elements around it, in proportion to the ticks.
int tick_column_pixels(measure *m, int tick);
// Pixels from the first column of the view (whose first measure ref is drawn ref_px pixels
// left of it, key changes taking their room) to spot; -1 when the spot lies before ref or at
// or beyond span pixels.
int play_line_offset(measure *ref, int ref_px, play_spot spot, int span);
// The first measure of the view that shows spot: ref while the line is on the page, else the
// spot's own measure (the page turns; it does not crawl).
measure *page_for_spot(measure *ref, int ref_px, play_spot spot, int span);
// 1-based number of m in the score (0 when it is not in it).
int measure_number(score *s, measure *m);
// The measure with the 0-based index, or null past the end. Measures are kept by index while
// the user edits: an edit may replace any measure.
measure *nth_measure(score *s, int index);
// Where "play from cursor" starts: the selection start when a selection exists, else the note
// input caret, else the score cursor, else the first measure on the screen.
play_spot cursor_play_spot(score *s);
