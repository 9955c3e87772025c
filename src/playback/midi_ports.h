// The MIDI input port "plinkel": opened through RtMidi on the ALSA sequencer, or on JACK MIDI
// when a JACK server runs and the sequencer is not there, and connected to every MIDI source
// present or appearing later. What arrives goes to feed_midi_in. Setting, in the [sound]
// section of allegro.cfg: midi_in_source (connect only the sources whose name contains it).
#pragma once

constexpr int MIDI_SOURCE_SCAN_MS = 1000; // how often poll_midi_in looks for new sources

// Opens the port and connects the sources present. 0, with the reason said once on standard
// error, when there is no MIDI input; the editor then runs without one.
int open_midi_in();
// Disconnects every source and closes the port; nothing arrives afterwards.
void close_midi_in();
// The main loop's share, every pass: connects the sources that appeared (looking at most once
// every MIDI_SOURCE_SCAN_MS) and returns midi_in_chords_waiting().
int poll_midi_in();
