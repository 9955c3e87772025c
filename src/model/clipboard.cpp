// The clipboard measure, its track maps, the copy of a selection into it and the blend paste.
#include "model/clipboard.h"

measure clip_board_measure;
int clip_board_length = 0;
int8_t clipboard_track[MAX_TRACKS];
int n_clipboard_track = 0;
int paste_end_x = 0;
measure *paste_end_measure = nullptr;

int clip_board_empty() {
    return 1;
}

int copy_events(score *s, measure *target, int *length_out) {
    return _copy_events(s, target, length_out, 1);
}

int _copy_events(score *, measure *, int *, int) {
    return 0;
}

int paste_events_blend(score *s, measure *source, measure *m, int x) {
    return _paste_events_blend(s, source, m, x, 1);
}

int _paste_events_blend(score *, measure *, measure *, int, int) {
    return 0;
}
