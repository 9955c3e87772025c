// MusicXML import: reads a partwise MusicXML score (plain or compressed .mxl) into a fresh
// score. Parts become tracks, notes keep their written spelling and their ties (a tie chain
// becomes one whole note), a staccato, staccatissimo or spiccato marks its note staccato at its
// written length, grace notes and tremolos are written out as the notes they sound,
// durations go from divisions to ticks, unknown elements are skipped.
#pragma once

#include "model/score.h"

constexpr int MUSICXML_MAX_PARTS = 31;         // one score track per part, as MIDI export allows
constexpr long MUSICXML_MAX_MARKUP = 3000000;  // elements plus attributes a file may hold
constexpr int MUSICXML_MAX_MEASURES = 20000;   // measures a file may fill
constexpr double MUSICXML_MAX_TICKS = 1 << 24; // a duration or position beyond this is refused

// Reads the MusicXML file at path into s, which must hold exactly the one empty measure
// init_new_score gives it. Returns 1 on success: the measures read replace that measure, the
// track table, its track_num and default_tempo are set, notes are split at bar lines and every
// measure is validated. Parts beyond MUSICXML_MAX_PARTS are left out, notes whose length is
// not a whole number of ticks are rounded, grace notes take the start of their principal note,
// a key beyond seven accidentals is taken as its enharmonic equivalent, an unpitched note in a
// pitched part sounds where it is shown, and other details out of range (a note beyond the
// octaves or the MIDI keys, an alteration, a time signature, a transposition) are skipped: one
// message through file_message tells what was done.
// Returns 0, with s, the track table and the globals as they were and a message through
// file_message naming the file and the reason, when the file cannot be read or trusted (not
// MusicXML, too large, or of broken structure).
int read_musicxml(const char *path, score *s);
