// The view state shared by the editor and the score model, and the shown-track tables.
#include "model/view.h"

int offset_x = 0;
int offset_y = 0;
int track_height = DEFAULT_TRACK_HEIGHT;

note_caret_t note_caret = {0, 0, 0, 0, 0};

int8_t active_track[MAX_TRACKS] = {0};
int n_active_track = 1;
int8_t active_track_order[MAX_TRACKS] = {0};
int8_t not_remove_track[MAX_TRACKS] = {0};
int n_not_remove_track = 1;

void update_active_tracks() {
    int count = 0;
    get_active_track(active_track, &n_active_track);
    get_active_track_order(active_track_order, &count);
}
