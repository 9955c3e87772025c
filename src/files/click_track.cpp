// Renders metronome clicks (placed by the playback layer's click rule) into a MIDI track with
// an end of track exactly at the last bar line, so that a looping player goes round in time.
#include "files/click_track.h"

#include <algorithm>
#include <cstring>

#include "files/midi_exp.h"
#include "model/d_malloc.h"
#include "playback/follow.h"
#include "playback/sound.h"

namespace {

constexpr int META = 0xFF;
constexpr int META_TEMPO = 0x51;
constexpr int META_END = 0x2F;
constexpr int MICROSECONDS_PER_MINUTE = 60000000;

struct timed_message {
    int time;  // MIDI ticks from the start of the track
    int order; // at the same time: tempo first, then note-offs, then note-ons
    unsigned char bytes[3];
};

int midi_ticks(int64_t score_ticks, int divisions) {
    return static_cast<int>(score_ticks * divisions / TICKS_PER_QUARTER);
}

void add_click(std::vector<timed_message> *out, int64_t at, const click &c, int divisions) {
    int key = c.accent ? CLICK_KEY_ACCENT : CLICK_KEY;
    int velocity = c.accent ? CLICK_VELOCITY_ACCENT : CLICK_VELOCITY;
    unsigned char channel = static_cast<unsigned char>(CLICK_CHANNEL);
    int on = midi_ticks(at + c.tick, divisions);
    int off = midi_ticks(at + c.tick + CLICK_TICKS, divisions);
    out->push_back({on,
                    2,
                    {static_cast<unsigned char>(STATUS_NOTE_ON | channel),
                     static_cast<unsigned char>(key), static_cast<unsigned char>(velocity)}});
    out->push_back({off,
                    1,
                    {static_cast<unsigned char>(STATUS_NOTE_OFF | channel),
                     static_cast<unsigned char>(key), 0}});
}

void put_delta(std::vector<unsigned char> *bytes, int delta) {
    unsigned char var[4];
    int n = write_var_len(var, delta, 1);
    bytes->insert(bytes->end(), var, var + n);
}

} // namespace

std::vector<unsigned char> click_track_bytes(measure *first, measure *last, int clicks, int tempo,
                                             int divisions) {
    std::vector<timed_message> messages;
    int64_t at = 0;
    for (measure *m = first; m; m = m->next) {
        for (int k = 0; clicks && k < measure_beats(m); k++)
            add_click(&messages, at, measure_click(m, k), divisions);
        at += m->len;
        if (m == last)
            break;
    }
    int end = midi_ticks(at, divisions);
    std::stable_sort(messages.begin(), messages.end(),
                     [](const timed_message &a, const timed_message &b) {
                         return a.time != b.time ? a.time < b.time : a.order < b.order;
                     });
    std::vector<unsigned char> bytes;
    if (tempo > 0) {
        int us = MICROSECONDS_PER_MINUTE / tempo;
        bytes.insert(bytes.end(),
                     {0, META, META_TEMPO, 3, static_cast<unsigned char>(us >> 16),
                      static_cast<unsigned char>(us >> 8), static_cast<unsigned char>(us)});
    }
    int now = 0;
    for (const timed_message &msg : messages) {
        int time = std::min(msg.time, end);
        put_delta(&bytes, time - now);
        bytes.insert(bytes.end(), msg.bytes, msg.bytes + 3);
        now = time;
    }
    put_delta(&bytes, end - now);
    bytes.insert(bytes.end(), {META, META_END, 0});
    return bytes;
}

int set_midi_slot(MIDI *midi, int slot, const std::vector<unsigned char> &bytes) {
    unsigned char *data = static_cast<unsigned char *>(raw_malloc(bytes.size()));
    if (!data)
        return 0;
    std::memcpy(data, bytes.data(), bytes.size());
    if (midi->track[slot].data)
        raw_free(midi->track[slot].data);
    midi->track[slot].data = data;
    midi->track[slot].len = static_cast<int>(bytes.size());
    return 1;
}

int free_midi_slot(const MIDI *midi) {
    for (int slot = MIDI_TRACKS - 1; slot > 0; slot--)
        if (!midi->track[slot].data && midi->track[slot].len == 0)
            return slot;
    return -1;
}
