// The score's invariants, written down once: after any edit and after any successful read the
// score must be sorted, expanded, validated and laid out. Checked builds run check_score at
// those points; the tests and the fuzz targets ask score_invariant_failures directly.
#pragma once

#include <string>

#include "model/seq.h"

// Checks, for every measure of s:
// - the measure and note lists are linked both ways and counted right; len matches num/bit;
// - the notes are sorted by note_comp; every piece lies inside its measure (0 <= x,
//   x + len <= len, len >= 1) and belongs to a track below track_num; triplet matches its len;
// - a note's spelling agrees with its pitch; rests are never tied;
// - tie chains are linked both ways, keep pitch, track and volume, continue right where the
//   previous piece ends (later in the same measure, or at x 0 of the next measure), and
//   total_len = len + total_len of l_next along every chain;
// - every voice of every track covers each tick of the measure exactly once (notes,
//   continuation pieces and rests), so each tick is covered by as many elements as the
//   track has voices;
// - columns: pos.x numbers the distinct start ticks of the shown tracks, n_pos counts them
//   (at least 1) and width = unit_x * n_pos;
// - expanding the whole score once more (on a copy) changes nothing.
// Returns "" when every invariant holds, else the count and the first failures, one a line.
std::string score_invariant_failures(score *s);
// In a checked build (PLINKEL_CHECK_INVARIANTS), prints the failures naming what came before
// (an edit's name, a file format) and aborts; otherwise does nothing.
void check_score(score *s, const char *what);

// Deep copy of src into dst (initialised here): measures, notes with their tie chains,
// measure events, cursor, selection and reference measure.
void copy_score(score *dst, score *src);
// One element in a line, for failure messages.
std::string describe_element(const note *n);
