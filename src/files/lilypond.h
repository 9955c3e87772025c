// LilyPond export in two modes. The engraved score (write_lilypond): title, signatures, tempo
// marks, instrument names, the score's spelling, staccato dots and one staff per track (a piano
// staff when it needs both clefs). The sketch (write_lilypond_sketch): one treble and one bass
// staff per track, each voice on the staff of its average pitch, absolute pitches spelled in C.
// Both write every length as tied notatable values (triplets inside \tuplet 3/2) and a bar check
// per measure.
#pragma once

#include <string>

#include "model/score.h"
#include "model/voice.h"

// Working tables of the track being written, indexed by the track's own voice number: a track
// numbers its voices in each measure from 0, in the order validation opened their slots.
extern double voice_length[MAX_VOICE_SLOTS];
extern double average_pitch[MAX_VOICE_SLOTS];
extern int treble[MAX_VOICE_SLOTS];
extern int n_treble;
extern int bass[MAX_VOICE_SLOTS];
extern int n_bass;

// Formatters, each returning a static buffer. A length that is one notatable value is written
// as that value ("4", "4." and, for a triplet value, the value it stands in for inside a 3:2
// tuplet: 128 gives "4"); any other length as the nearest lower plain value, with a dot when a
// third of it is not a power of two; lengths under 3 ticks as the shortest value, "256".
const char *_get_duration_output(int length);
// n apostrophes for octave n > 0, -n commas for n < 0, "" for 0 (middle C is octave 1: c').
const char *get_octave_output(int octave);
// "is" for a sharp, "es" for a flat (double ones as single ones), "" for none.
const char *get_prefix_output(int accidental);

// What the engraved score says beyond the notes; callers set it before writing.
struct lilypond_setup {
    std::string title;    // the header's title (callers give the file's name)
    std::string subtitle; // a part's instrument, or empty
    std::string paper;    // a LilyPond paper size ("a4", "letter"); empty: A4
    int part = -1;        // the one track of a part, or -1 for every shown track
};
extern lilypond_setup ly_setup;

// Both writers validate every measure, then write the score to path (under a temporary name,
// renamed into place when complete). They return 1, or 0 when the file cannot be created or
// written.
int write_lilypond(const char *path, score *s);
int write_lilypond_sketch(const char *path, score *s);
