// MusicXML export: writes the score as a MusicXML 3.1 partwise file, one part per shown track
// on a grand staff, with clefs, key and time signatures, spelled notes in voices, rests,
// plain, dotted, triplet and tied durations that fill every measure, staccato marks and tempo
// marks.
#pragma once

#include "model/score.h"

constexpr int MUSICXML_DIVISIONS = 192; // divisions per quarter note: one per tick

// Writes s to path (under a temporary name, renamed into place when complete). Returns 1, or 0
// when no track is shown (told through file_message) or the file cannot be created or written;
// an existing file is then untouched.
int write_musicxml(const char *path, score *s);
