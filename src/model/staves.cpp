// Staff use of a track, read from the pitches of its notes alone, so every writer agrees on
// where a note belongs: the pitch range and the instrument decide between one clef and the grand
// staff, and the average pitch between the two clefs when one clef is to hold every note.
#include "model/staves.h"

namespace {

// The lowest pitch the treble clef holds with three ledger lines (F below middle C) and the
// highest the bass clef holds with three (G above middle C).
constexpr int TREBLE_CLEF_LOWEST = -7;
constexpr int BASS_CLEF_HIGHEST = 7;

struct pitch_range {
    int count = 0;
    int lowest = 0, highest = 0;
    long sum = 0;
};

pitch_range track_range(const score *s, int track) {
    pitch_range r;
    for (const measure *m = s->measures.head; m; m = m->next)
        for (const note *n = m->notes.head; n; n = n->next) {
            if (n->rest || n->track != track)
                continue;
            if (!r.count || n->pitch < r.lowest)
                r.lowest = n->pitch;
            if (!r.count || n->pitch > r.highest)
                r.highest = n->pitch;
            r.sum += n->pitch;
            r.count++;
        }
    return r;
}

// The General MIDI programs written on a grand staff: pianos, celesta, marimba, organs,
// accordions and the harp.
bool grand_staff_instrument(int patch) {
    constexpr int CELESTA = 8, MARIMBA = 12, FIRST_ORGAN = 16, ACCORDION = 21, TANGO_ACCORDION = 23,
                  HARP = 46;
    return (patch >= 0 && patch <= CELESTA) || patch == MARIMBA ||
           (patch >= FIRST_ORGAN && patch <= ACCORDION) || patch == TANGO_ACCORDION ||
           patch == HARP;
}

} // namespace

staff_use pitch_staff(int pitch) {
    return pitch >= 0 ? STAFF_TREBLE : STAFF_BASS;
}

int track_staff_use(const score *s, int track) {
    pitch_range r = track_range(s, track);
    if (!r.count)
        return STAFF_NONE;
    bool treble_fits = r.lowest >= TREBLE_CLEF_LOWEST;
    bool bass_fits = r.highest <= BASS_CLEF_HIGHEST;
    int patch = track >= 0 && track < MAX_TRACKS ? s->tracks[track].patch : 0;
    if (!treble_fits && !bass_fits && patch == PERCUSSION_PATCH)
        return STAFF_BASS;
    if ((treble_fits && bass_fits) ||
        (!treble_fits && !bass_fits && !grand_staff_instrument(patch)))
        return pitch_staff(r.sum >= 0 ? 0 : -1);
    if (treble_fits)
        return STAFF_TREBLE;
    return bass_fits ? STAFF_BASS : STAFF_BOTH;
}
