// Which staves of a track's grand staff its notes take: a note from middle C up sits on the
// treble staff, one below it on the bass staff. Writers use it to leave out a staff that
// would stay empty.
#pragma once

#include "model/score.h"

// Bits of a staff use; a track with no notes uses neither staff.
enum staff_use { STAFF_NONE = 0, STAFF_TREBLE = 1, STAFF_BASS = 2, STAFF_BOTH = 3 };

// The staff a note of this pitch (0 = middle C) is written on.
staff_use pitch_staff(int pitch);
// The staves the notes (not the rests) of track take anywhere in s.
int track_staff_use(const score *s, int track);
