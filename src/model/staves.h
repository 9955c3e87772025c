// Which staves of a track's grand staff its notes take: a note from middle C up sits on the
// treble staff, one below it on the bass staff; a track whose notes all fit one clef (with up to
// three ledger lines beyond it) needs that staff alone. Only keyboards and the harp are written
// on a grand staff: every other instrument, and the drum kit, keeps one staff, however wide its
// range. Writers use it to leave out empty staves.
#pragma once

#include "model/score.h"

// Bits of a staff use; a track with no notes uses neither staff.
enum staff_use { STAFF_NONE = 0, STAFF_TREBLE = 1, STAFF_BASS = 2, STAFF_BOTH = 3 };

// The staff of the grand staff a note of this pitch (0 = middle C) is written on.
staff_use pitch_staff(int pitch);
// The staves the notes (not the rests) of track in s need: STAFF_TREBLE or STAFF_BASS when all
// of them fit that clef, STAFF_BOTH when they need the grand staff and the track's instrument is
// written on one, STAFF_NONE without notes. An instrument of one staff that needs both clefs
// takes the clef of its average pitch; the drum kit takes the bass clef.
int track_staff_use(const score *s, int track);
