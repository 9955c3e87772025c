// Invariant checker of the score model, shared by every test suite: after any edit the score
// must be sorted, expanded, validated and laid out (see score_invariants), and compressing it
// must give back whole notes. Also a deep copy of a score, which the checks run on.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/seq.h"

// Checks, for every measure of s:
// - the measure and note lists are linked both ways and counted right; len matches num/bit;
// - the notes are sorted by note_comp; every piece lies inside its measure (0 <= x,
//   x + len <= len, len >= 1) and belongs to a track below the score's track_num; triplet matches
//   its len;
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
::testing::AssertionResult score_invariants(score *s);

// Deep copy of src into dst (initialised here): measures, notes with their tie chains,
// measure events, cursor, selection and reference measure.
void copy_score(score *dst, score *src);

// A note in its compressed form, placed by its absolute tick in the score.
struct whole_note {
    int at; // measure start + x
    int len;
    int pitch;
    int pos_y;
    int track;
    int volume;
};
bool operator==(const whole_note &a, const whole_note &b);
bool operator<(const whole_note &a, const whole_note &b);
std::string to_string(const whole_note &n);
std::string to_string(const std::vector<whole_note> &notes);

// Compresses every chain of a copy of s and returns its notes (no rests), sorted. When a
// compressed element is still tied, or a chain does not join back, *error says so.
std::vector<whole_note> compressed_whole_notes(score *s, std::string *error);
