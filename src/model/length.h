// Note lengths: the tables of notatable values, the length classes (plain, dotted, triplet)
// and get_clipped_len, which decides how much of a length starting at a tick of a measure can
// be written as one piece without hiding the measure's beats.
#pragma once

#include <cstdint>

#include "model/score.h"

// Every notatable length: 9 plain, 7 dotted and 9 triplet values, ended by 0.
extern const int32_t unit_length[];
// Plain grid units (whole to 256th), ended by 0.
extern const int32_t decompose_unit[];
// Triplet grid units, ended by 0.
extern const int32_t decompose_triplet_unit[];
// Odd primes tried when factoring a time-signature numerator, ended by 0.
extern const int32_t prime_number_table[];

int is_unit_length(int v);
// Largest power of two dividing |v| (its lowest set bit); 0 for 0.
int get_min_power2(int v);
// Largest power of two not above |v|; 0 for 0.
int get_max_power2(int v);
// Shortest and longest plain values contained in v.
int get_min_duration_component(int v);
int get_max_duration_component(int v);
// 1 when v / 3 is not a single power of two (dotted values, and triplet values too).
int is_dot_length(int v);
// 1 when v is not a multiple of 3 and 0 < v <= 256.
int is_triplet(int v);
// 1 when v is not a multiple of 3 and a power of two: the test behind a piece's triplet flag.
int is_exact_triplet(int v);
// 2 for even n (0 included), else the first odd prime of prime_number_table dividing n, else 1.
int get_divisible_prime(int n);

// Length of the first notatable piece of a length len starting at tick x of measure m
// (reads only m->num and m->len). *clipped_out is 1 when the piece was cut from len or is a
// dotted or two-unit triplet value, 0 when len fits whole on the grid. Returns at least 1 for
// len >= 1, and never more than len.
int get_clipped_len(measure *m, int x, int len, int *clipped_out);
// The same piece for a rest: writes is_exact_triplet(piece) to *triplet_out.
int decompose_len(measure *m, int x, int len, int *triplet_out);
