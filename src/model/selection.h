// The selection: a stretch of the score from a start (measure, tick) to an exclusive end
// (measure, tick), kept in the score's select_* fields. Answers whether it is valid, which
// measures and positions it holds and how long it is, and walks the elements inside it.
#pragma once

#include "model/score.h"

// Classes of a measure with respect to the selection (is_selected_measure).
enum select_class {
    SELECT_OUTSIDE = 0,
    SELECT_INSIDE = 1,
    SELECT_START = 2,
    SELECT_END = 3,
    SELECT_START_END = 4,
};

// 1 when (m2, x2) does not come before (m1, x1): same measure and x2 >= x1, or m2 reached
// from m1 through next. 0 when either measure is null.
int well_ordered(measure *m1, int x1, measure *m2, int x2);
int valid_selection(score *s);

// Move the start (end) of the selection to the score cursor; the other end follows when the
// selection would otherwise be invalid. 0 when the cursor is not set.
int set_select_start(score *s);
int set_select_end(score *s);

int is_selected_measure(score *s, measure *m);
// Whether tick x of a measure of class cls (from is_selected_measure) is selected.
int is_selected_note(score *s, int cls, int x);
// Ticks from the start to the end of the selection; 0 without a valid selection.
int get_seletion_length(score *s);

typedef void (*selection_fn)(measure *m, note *n, void *data);
// Calls fn on every element (rests included) of an active track whose position is selected,
// measure by measure. fn may delete the element it is given from its measure, but no other.
// Returns the number of calls; 0 without a valid selection.
int foreach_selection(score *s, selection_fn fn, void *data);
