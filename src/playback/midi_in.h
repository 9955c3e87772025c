// The MIDI keyboard's stream: bytes from any source are parsed into messages, the keys played are
// sent on to the MIDI output at once, and keys held down together are collected into chords
// that wait, in a bounded queue, until the main thread hands them to the editor.
#pragma once

constexpr int MIDI_IN_QUEUE_CHORDS = 16; // chords waiting for the main thread; more are dropped
constexpr int CONTROL_SUSTAIN = 64;
constexpr int CONTROL_ALL_SOUND_OFF = 120;
constexpr int CONTROL_ALL_NOTES_OFF = 123;

// Receives one chord: its MIDI keys, each once, ascending.
typedef void (*midi_in_chord_handler)(const int *keys, int count);

// The editor's receiver of chords; null drops them. Set on the main thread.
void set_midi_in_chord_handler(midi_in_chord_handler handler);

// Bytes as they come from a source, in order: channel messages with or without running
// status; SysEx, system common and real-time bytes, truncated messages and stray data bytes
// are skipped. Note-ons, note-offs (a note-on of velocity 0 is one) and the sustain pedal are
// sent on with send_midi; a chord is complete when the last of its keys is released (the
// sustain pedal does not hold it). Safe to call from any thread.
void feed_midi_in(const unsigned char *bytes, int count);

// Chords complete and not yet delivered.
int midi_in_chords_waiting();
// Hands the waiting chords, oldest first, to the handler; returns how many. Main thread only.
int deliver_midi_in_chords();
// Forgets the waiting chords (for a screen that enters no notes).
void drop_midi_in_chords();
// Forgets the keys held, the chord being collected, the waiting chords and the parser's state.
void clear_midi_in();
