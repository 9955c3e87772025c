// Pitch spelling: the two-way conversion between a note's chromatic pitch and its staff
// spelling (staff position, step, accidental) under a key signature, the circle-of-fifths
// tables behind it and the drawing positions of key signatures.
#pragma once

#include <cstdint>

#include "model/score.h"

constexpr int STEPS_PER_OCTAVE = 7;
constexpr int SEMITONES_PER_OCTAVE = 12;
constexpr int KEY_ACCIDENTALS = 7; // a key signature holds at most seven sharps or flats

// Semitone offset of each step C..B within the octave; the eighth entry is the octave.
extern const int32_t table_8_12[STEPS_PER_OCTAVE + 1];
// Step of each pitch class when a black key is written as a sharp, or as a flat.
extern const int32_t table_12_7_sharp[SEMITONES_PER_OCTAVE];
extern const int32_t table_12_7_flat[SEMITONES_PER_OCTAVE];
// Per step C..B: the number of sharps (flats) of the first key signature that alters it.
extern const int32_t sharp_key_table[STEPS_PER_OCTAVE];
extern const int32_t flat_key_table[STEPS_PER_OCTAVE];
// Letter of each step, for text output.
extern const char *const table_7_to_a[STEPS_PER_OCTAVE];

// Key-signature drawing: the k-th accidental of a signature sits at staff position
// table[k][KEY_POS_Y], shifted right by table[k][KEY_OFFSET_X] pixels.
enum { KEY_POS_Y = 0, KEY_OFFSET_X = 1 };
extern const int32_t treble_key_sharp_table[KEY_ACCIDENTALS][2];
extern const int32_t treble_key_flat_table[KEY_ACCIDENTALS][2];
extern const int32_t bass_key_sharp_table[KEY_ACCIDENTALS][2];
extern const int32_t bass_key_flat_table[KEY_ACCIDENTALS][2];

// Floor division for b > 0: level = floor(a / b), mod = a - level * b, so 0 <= mod < b.
void get_mod_level(int a, int b, int *mod_out, int *level_out);

// Spelling to pitch: sets step, accidental, pitch and pos.y of n from a staff position and an
// accidental. With relative set, the accidental is on top of what the key signature says.
void set_note_pos(int key, note *n, int pos_y, int accidental, int relative);

// Pitch to spelling in the key of m: sets pitch12, step, accidental and pos.y of n from its
// pitch, with at most one accidental. Returns the new pos.y.
int get_note_pos_y(measure *m, note *n);

// Pitch to spelling for text output, with middle C in octave 1. Writes accidental, step and
// octave; returns the octave.
int get_pitch7(int pitch, int key, int *accidental_out, int *step_out, int *octave_out);
