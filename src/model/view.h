// The view state the score model shares with the editor: where the view starts (offset_x in
// ref_measure, the vertical scroll, the height of a track row) and which tracks are shown in
// which row. The editor changes it; the hit tests and block edits of the model read it.
#pragma once

#include <cstdint>

#include "model/score.h"

constexpr int DEFAULT_TRACK_HEIGHT = 216;

extern int offset_x; // tick position inside ref_measure where the view starts
extern int offset_y; // vertical scroll in pixels
extern int track_height;

// Which tracks are shown and in which row.
extern int8_t active_track[MAX_TRACKS];
extern int n_active_track;
extern int8_t active_track_order[MAX_TRACKS];
extern int8_t not_remove_track[MAX_TRACKS];
extern int n_not_remove_track;

// The caret of note input mode: where the next typed note goes. The measure is kept by its
// index (undo replaces measures); an index equal to the number of measures is the end of the
// score, where the next note appends a measure.
struct note_caret_t {
    int shown;         // note input mode is on
    int measure_index; // 0-based
    int x;             // tick inside the measure
    int track;
    int bass; // 1: on the bass staff, 0: on the treble staff
};
extern note_caret_t note_caret;

// Recomputes active_track, n_active_track and active_track_order from the track table.
void update_active_tracks();
