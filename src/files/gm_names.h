// The names of the 128 General MIDI programs, for formats that name a part after its
// instrument (MusicXML); the percussion kit (patch 128) has a name of its own.
#pragma once

// The instrument of a MIDI program 0..127, or "Drums" for the percussion patch; "Track" for
// anything else.
const char *gm_instrument_name(int patch);
