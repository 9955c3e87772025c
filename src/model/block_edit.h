// Block edits over the selection: blend delete (notes go, time stays), solid delete and solid
// paste (time is cut out or the clipboard is inserted, and what follows moves), re-keying and
// transposing the selected notes, and removing the tracks marked for removal.
#pragma once

#include "model/score.h"

// Deletes the selected elements of shown tracks (and the selected tempo events when every
// track is shown). 1 when a note or event was deleted; 0 without a valid selection or shown
// track.
int delete_events_blend(score *s);
// Cuts the selected time span out of every track; what follows moves earlier. Clears the
// selection and the cursor and keeps the view near its old measure. 0 when either end of the
// selection is unset.
int delete_events_solid(score *s);
// Inserts the clipboard at the score cursor; what followed moves later by its length. Clears
// the selection and the cursor. 0 when the cursor is unset or nothing was ever copied (then
// nothing moves).
int paste_events_solid(score *s);
// Gives key to the measures wholly inside the selection and re-spells their selected notes.
// 1 when a key or a spelling changed.
int set_key(score *s, int key);
// Moves the selected elements of shown tracks by semitones, kept within MIDI keys 0..127.
// 1 when a pitch changed.
int transpose(score *s, int semitones);
// Deletes the notes of the tracks marked remove, renumbers the others and compacts the track
// table; one track always remains. Returns the new track count. The caller validates.
int remove_checked_track(score *s);
