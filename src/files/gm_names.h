// The names of the 128 General MIDI programs: the standard's, for formats that name a part after
// its instrument (MusicXML), and a short one for the track list; the percussion kit (patch 128)
// has names of its own.
#pragma once

// The instrument of a MIDI program 0..127, or "Drums" for the percussion patch; "Track" for
// anything else.
const char *gm_instrument_name(int patch);
// The short name of a MIDI program 0..127 as the track settings list it, "Percussions" for the
// percussion patch; "" for anything else.
const char *gm_short_name(int patch);
