// The MIDI wire as the score meets it: channel and key ranges, the status bytes of the channel
// messages and the one rule that folds a track's channel onto the wire's sixteen. The player,
// the MIDI and MusicXML files and the editor's sounds all speak it.
#pragma once

constexpr int MIDI_CHANNELS = 16;
constexpr int MIDI_KEYS = 128;
constexpr int MIDI_DATA_MAX = 127;
constexpr int KEY_OF_MIDDLE_C = 60; // MIDI key of pitch 0

// Status bytes of the channel messages (the channel goes in the low four bits).
constexpr int STATUS_NOTE_OFF = 0x80;
constexpr int STATUS_NOTE_ON = 0x90;
constexpr int STATUS_CONTROL = 0xB0;
constexpr int STATUS_PROGRAM = 0xC0;

// A track's channel is 0..32 (channel 9 is percussion); the wire has 16. Channels above 15
// wrap around (channel & 15): every sender of channel messages goes through this one rule, and
// the sounding counts of channel_status are kept per wire channel, so two tracks whose channels
// fold together share their counts exactly as they share the synthesiser's keys.
inline int midi_channel(int channel) {
    return channel < 0 ? 0 : channel & 0x0F;
}
// Data bytes are 7-bit: keys, velocities and controller values are clamped to 0..127.
inline int midi_data(int value) {
    return value < 0 ? 0 : value > MIDI_DATA_MAX ? MIDI_DATA_MAX : value;
}
