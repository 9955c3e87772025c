// Notatable durations for the text exporters: a length starting at a tick of a measure, written
// as a sequence of plain, dotted and triplet values (the triplet ones inside a 3:2 tuplet) that
// are tied together and add up exactly to the length, either by the measure's beat rule or as a
// notation program writes them. Format-neutral: callers spell the values.
#pragma once

#include "model/score.h"

constexpr int NOTATION_SHORTEST = 256; // denominator of the shortest written value
constexpr int NOTATION_MAX_DOTS = 1;   // the vocabulary holds single-dotted values only

// One written value. ticks is what the piece lasts; it equals notation_nominal_ticks of the
// written value except for a piece of 1 tick, which no value of the vocabulary can hold and
// is written as the shortest value (a 256th) that the caller scales down to 1 tick.
struct notation_piece {
    int denominator; // 1 whole, 2 half, 4 quarter ... 256
    int dots;        // 0 or 1
    int tuplet;      // 1: one of three in the time of two (a triplet value)
    int ticks;       // length of the piece in ticks
};

// Room enough for any piece of a measure whose length fits 16 bits: whole notes first, then
// at most a handful of shorter values.
constexpr int NOTATION_MAX_PIECES = 64;

// Fills out when ticks is one notatable value (one of unit_length: plain, dotted or triplet)
// and returns 1; returns 0 otherwise.
int notation_value(int ticks, notation_piece *out);
// The ticks that the written value of p stands for (a triplet value counts two thirds).
int notation_nominal_ticks(const notation_piece *p);
// The first piece of a length len >= 1 starting at tick x of m: the piece get_clipped_len
// allows there when it is one notatable value, else the first value of an exact split of that
// piece. Returns the ticks it takes (at least 1, at most len); 0 when len < 1.
int first_notation_piece(measure *m, int x, int len, notation_piece *out);
// The whole split of len at x: first_notation_piece on the remainder until nothing is left.
// Returns the number of pieces written to out (their ticks add up to len), or -1 when more
// than max pieces would be needed (out then holds the first max).
int split_notation_length(measure *m, int x, int len, notation_piece *out, int max);
// The split a notation program writes for a note (is_rest 0) or a rest of len at x: the fewest
// values that leave the measure's metre readable. A note may hide one binary level of the
// metre above its own start and end (the syncopated quarter between two eighths, the half on
// the second beat of 4/4), a rest only one within a beat (the eighth rest between sixteenths);
// the middle of a compound beat stays visible. Lengths
// off the plain grid (triplets, single ticks) are split as split_notation_length splits them.
int split_metric_length(measure *m, int x, int len, int is_rest, notation_piece *out, int max);
