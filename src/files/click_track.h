// The metronome and timing track of background playback: a MIDI track in the library's
// in-memory form that clicks on the beats, and whose end marks where the player loops.
#pragma once

#include <vector>

#include <allegro.h>

#include "model/score.h"

// Track bytes for the measures first..last (last reached through next): a tempo event at the
// start when tempo > 0, a click on every beat when clicks is set, and the end of the track at
// the end of last. divisions are the MIDI ticks per quarter note.
std::vector<unsigned char> click_track_bytes(measure *first, measure *last, int clicks, int tempo,
                                             int divisions);
// Puts bytes into slot of midi (freeing what was there); 0 when no memory could be had.
int set_midi_slot(MIDI *midi, int slot, const std::vector<unsigned char> &bytes);
// The highest slot of midi that holds nothing, or -1.
int free_midi_slot(const MIDI *midi);
