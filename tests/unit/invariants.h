// Test helpers over the model's invariant checker (model/invariants.h): the checks as a
// GoogleTest assertion, and compressing a score back to whole notes for comparing two scores.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/invariants.h"

// Every invariant of model/invariants.h holds for s; the failure lists what does not.
::testing::AssertionResult score_invariants(score *s);

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
