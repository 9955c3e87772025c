// Editor-wide state and its initial values.
#include "editor/state.h"

int edit_mode = 1;
int dot_mode = 0;
int note_type = TICKS_PER_QUARTER;
int user_defined_length = TICKS_PER_QUARTER;
int offset_x = 0;
int offset_y = 0;
int panel_height = PANEL_HEIGHT;
int track_height = DEFAULT_TRACK_HEIGHT;
int mouse_visible = 1;
int edited = 0;
int is_exit = 0;
char filename[FILENAME_SIZE] = "untitled";

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
