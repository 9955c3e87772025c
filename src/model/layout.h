// Note layout on screen: the mapping of screen points to measures, columns, staff positions,
// tracks and notes (appending measures to the right of the score), the score cursor, the
// note head positions and the conversions between columns and tick positions.
#pragma once

#include "model/score.h"

// Extra pixels before a measure whose key differs from the previous one (new key signature).
constexpr int KEY_CHANGE_WIDTH = 48;

// num / den rounded to the nearest integer, a half rounding up:
// _div(15, 30) = 1, _div(-15, 30) = 0.
int _div(int num, int den);
// Track shown in the band under screen row y; -1 when no track is shown.
int get_track(score *s, int y);
// Measure under the screen point, with its column, staff position and track; appends
// measures when the point lies right of the last one. Null outside the score or when no
// track is shown (then nothing is appended and the outputs are untouched).
measure *screen_score(score *s, int x, int y, int *column_out, int *row_out, int *track_out);
// Measure under the screen point and, in *note_out, the first note (not a rest) of the track
// under the point at that column and staff position; with first_only, first pieces only.
// Null (and *note_out null) when there is no such note. Never appends measures.
measure *screen_score_find_note(score *s, int x, int y, note **note_out, int first_only);
// Places the score cursor at the column under the screen point: 1 on a hit, else 0.
int set_cursor(score *s, int x, int y);
// Computes n->display from the measure's horizontal offset measure_x. Returns 1.
int get_note_display(score *s, measure *m, int measure_x, note *n);

// Conversions between columns and ticks; only elements of shown tracks are considered.
// The element whose pos.x is nearest to column (on a tie the later one); null when none.
note *find_near_note_by_pos_x(measure *m, int column);
// Its x, or 0.
int get_near_x_by_pos_x(measure *m, int column);
// The first element whose x >= x; null when none.
note *find_near_note_by_x(measure *m, int x);
// Its pos.x, or 0.
int get_near_pos_x_by_x(measure *m, int x);
// The first note (not a rest) of m starting at tick x with staff position pos_y and track;
// null when none. Note entry with Space held passes the tick the new note would move to.
note *find_note_by_x(measure *m, int x, int pos_y, int track);
