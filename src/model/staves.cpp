// Staff use of a track: the union of the staves its notes sit on, read from the notes'
// pitches alone, so every writer agrees on where a note belongs.
#include "model/staves.h"

staff_use pitch_staff(int pitch) {
    return pitch >= 0 ? STAFF_TREBLE : STAFF_BASS;
}

int track_staff_use(const score *s, int track) {
    int use = STAFF_NONE;
    for (const measure *m = s->measures.head; m && use != STAFF_BOTH; m = m->next)
        for (const note *n = m->notes.head; n; n = n->next)
            if (!n->rest && n->track == track)
                use |= pitch_staff(n->pitch);
    return use;
}
