// MIDI byte senders and reference-counted sounding of keys.
#include "playback/sound.h"

#include <allegro.h>

#include "editor/clock.h"
#include "model/score.h"

channel_status_t channel_status[CHANNEL_ROWS][MIDI_KEYS];

static void send(unsigned char *bytes, int count) { midi_out(bytes, count); }

void set_patch(int channel, int program) {
    // The percussion kit lives on channel 9 by itself: there is no program to choose.
    if (program >= PERCUSSION_PATCH)
        return;
    unsigned char bytes[] = {static_cast<unsigned char>(0xC0 + midi_channel(channel)),
                             static_cast<unsigned char>(midi_data(program))};
    send(bytes, 2);
}

void set_pan(int channel, int pan) {
    unsigned char bytes[] = {static_cast<unsigned char>(0xB0 + midi_channel(channel)), 10,
                             static_cast<unsigned char>(midi_data(pan / 2))};
    send(bytes, 3);
}

void _note_on(int channel, int key, int velocity) {
    unsigned char bytes[] = {static_cast<unsigned char>(0x90 + midi_channel(channel)),
                             static_cast<unsigned char>(midi_data(key)),
                             static_cast<unsigned char>(midi_data(velocity))};
    send(bytes, 3);
}

void _note_off(int channel, int key) {
    unsigned char bytes[] = {static_cast<unsigned char>(0x80 + midi_channel(channel)),
                             static_cast<unsigned char>(midi_data(key)), 0};
    send(bytes, 3);
}

// The status table is indexed by the track's own channel (0..31) and a key 0..127.
static channel_status_t *status_cell(int channel, int key) {
    if (channel < 0 || channel >= CHANNEL_ROWS || key < 0 || key >= MIDI_KEYS)
        return nullptr;
    return &channel_status[channel][key];
}

void note_on(int channel, int key, int velocity) {
    channel_status_t *cell = status_cell(channel, key);
    if (!cell)
        return;
    if (cell->count == 0) {
        _note_on(channel, key, velocity);
    } else if (get_tick() - cell->last_on > RESTRIKE_MS) {
        _note_off(channel, key);
        _note_on(channel, key, velocity);
    }
    cell->count++;
    cell->last_on = get_tick();
}

void note_off(int channel, int key) {
    channel_status_t *cell = status_cell(channel, key);
    if (!cell)
        return;
    if (--cell->count <= 0) {
        cell->count = 0;
        _note_off(channel, key);
    }
}

void init_channel_status() {
    for (int channel = 0; channel < MIDI_CHANNELS; channel++)
        set_pan(channel, PAN_CENTRE);
    for (auto &row : channel_status)
        for (channel_status_t &cell : row)
            cell.count = 0;
}
