// MIDI output: the byte senders, the reference-counted note-on/note-off shared by the player and
// the editor, and the foreground player.
#pragma once

constexpr int MIDI_CHANNELS = 16;
constexpr int CHANNEL_ROWS = 32;
constexpr int MIDI_KEYS = 128;
constexpr int PAN_CENTRE = 128;
constexpr int RESTRIKE_MS = 20;

// A track's channel is 0..32 (channel 9 is percussion); the wire has 16. Channels above 15
// wrap around (channel & 15): every sender of channel messages goes through this one rule.
inline int midi_channel(int channel) { return channel < 0 ? 0 : channel & 0x0F; }
// Data bytes are 7-bit: keys, velocities and controller values are clamped to 0..127.
inline int midi_data(int value) { return value < 0 ? 0 : value > 127 ? 127 : value; }

struct channel_status_t {
    int last_on; // msec of the last note-on sent for this channel and key
    int count;   // holders currently sounding this key
};
extern channel_status_t channel_status[CHANNEL_ROWS][MIDI_KEYS];

void set_patch(int channel, int program);
void set_pan(int channel, int pan);
void _note_on(int channel, int key, int velocity);
void _note_off(int channel, int key);

void note_on(int channel, int key, int velocity);
void note_off(int channel, int key);
void init_channel_status();
