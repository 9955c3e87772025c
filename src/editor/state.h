// Editor-wide state: the modes, the entry length, the view (scroll offsets, panel and track
// heights), the shown-track tables and the unsaved-changes mark. Owned by the editor shell and
// read by the score model's hit tests, the renderer, note entry and the commands.
#pragma once

#include <cstdint>

#include "model/score.h"

constexpr int FILENAME_SIZE = 512;
constexpr int DEFAULT_TRACK_HEIGHT = 216;
constexpr int PANEL_HEIGHT = 24;

extern int edit_mode;           // 1 insert mode, 0 select mode
extern int dot_mode;            // non-zero: plain lengths are entered dotted
extern int note_type;           // current entry length in ticks
extern int user_defined_length; // length bound to the 0 key
extern int offset_x;            // tick position inside ref_measure where the view starts
extern int offset_y;            // vertical scroll in pixels
extern int panel_height;
extern int track_height;
extern int mouse_visible;
extern int edited; // the score differs from its file
extern int is_exit;
extern char filename[FILENAME_SIZE];

// Which tracks are shown and in which row.
extern int8_t active_track[MAX_TRACKS];
extern int n_active_track;
extern int8_t active_track_order[MAX_TRACKS];
extern int8_t not_remove_track[MAX_TRACKS];
extern int n_not_remove_track;

// Recomputes active_track, n_active_track and active_track_order from the track table.
void update_active_tracks();
