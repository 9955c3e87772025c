// The view of the score: horizontal scrolling from note start to note start and from measure
// to measure (ref_measure, ref_x, offset_x of the editor), vertical scrolling of the track
// rows (offset_y), and clear_marker, which resets the selection, the score cursor and offset_x.
#pragma once

#include "model/score.h"

constexpr int SCROLL_STEP = 12;      // pixels per Up or Down
constexpr int SCROLL_PAGE_STEP = 72; // pixels per Shift+Up/Down or wheel notch

// Snaps offset_x to the start of the first note of ref_measure (of a shown track) at or after
// it, or to 0 when there is none; returns that note.
note *adjust_offset_x();
// The first note of the score's ref_measure, of any track, starting at or after offset_x.
note *get_offset_x_note(score *s);
// The plain Left and Right keys: one note start back or forward, across measures.
void process_left_right_key(score *s);
// One measure back (direction 0) or forward (1) in g_score.
void process_shift_left_right_key(score *s, int direction);
// Clears the selection and the score cursor of g_score and sets offset_x to 0.
void clear_marker();

// Lowest value of offset_y the keys and the wheel allow.
int min_offset_y();
// Up: scrolls by step unless already at the top; 1 when it did (the pointer is then hidden).
int scroll_up(int step);
// Down: scrolls by step, without bound.
void scroll_down(int step);
