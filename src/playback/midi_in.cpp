// The MIDI keyboard's stream: a byte parser with running status, the forwarding of what is
// played to the MIDI output, and the chord collector with its bounded queue of whole chords.
// Sources call in on their own threads; one lock keeps the parser, the collector and the queue.
#include "playback/midi_in.h"

#include <mutex>

#include "playback/midi_parse.h"
#include "playback/sound.h"

namespace {

constexpr int KIND_MASK = 0xF0;
constexpr int CHANNEL_MASK = 0x0F;

struct midi_chord {
    int keys[MIDI_KEYS];
    int count;
};

// Keys held (per channel, so that a split keyboard may hold one key on two channels) and the
// keys pressed since the chord began.
struct chord_collector {
    bool down[MIDI_CHANNELS][MIDI_KEYS];
    int held;
    bool in_chord[MIDI_KEYS];
    int chord_size;
};

struct chord_queue {
    midi_chord chords[MIDI_IN_QUEUE_CHORDS];
    int first;
    int count;
};

std::mutex stream_lock;
midi_parser parser;
chord_collector collector;
chord_queue queue;
midi_in_chord_handler chord_handler = nullptr;

void queue_chord() {
    if (queue.count == MIDI_IN_QUEUE_CHORDS)
        return;
    midi_chord *c = &queue.chords[(queue.first + queue.count) % MIDI_IN_QUEUE_CHORDS];
    c->count = 0;
    for (int k = 0; k < MIDI_KEYS; k++)
        if (collector.in_chord[k])
            c->keys[c->count++] = k;
    queue.count++;
}

void end_chord() {
    if (collector.chord_size)
        queue_chord();
    for (bool &k : collector.in_chord)
        k = false;
    collector.chord_size = 0;
}

void key_down(int channel, int key) {
    if (collector.down[channel][key])
        return;
    collector.down[channel][key] = true;
    collector.held++;
    if (!collector.in_chord[key]) {
        collector.in_chord[key] = true;
        collector.chord_size++;
    }
}

// A note-off for a key that is not held (its note-on came before the port opened, or never) is
// ignored.
void key_up(int channel, int key) {
    if (!collector.down[channel][key])
        return;
    collector.down[channel][key] = false;
    if (--collector.held == 0)
        end_chord();
}

void release_channel(int channel) {
    for (int k = 0; k < MIDI_KEYS; k++)
        key_up(channel, k);
}

void forward(int status, const int *data) {
    unsigned char bytes[] = {static_cast<unsigned char>(status),
                             static_cast<unsigned char>(data[0]),
                             static_cast<unsigned char>(data[1])};
    send_midi(bytes, 3);
}

void play_control(int status, const int *data) {
    int channel = status & CHANNEL_MASK;
    switch (data[0]) {
    case CONTROL_SUSTAIN:
        forward(status, data);
        break;
    case CONTROL_ALL_SOUND_OFF:
    case CONTROL_ALL_NOTES_OFF:
        forward(status, data);
        release_channel(channel);
        break;
    }
}

void play_message(int status, const int *data) {
    int channel = status & CHANNEL_MASK;
    switch (status & KIND_MASK) {
    case STATUS_NOTE_ON:
        forward(status, data);
        if (data[1] > 0)
            key_down(channel, data[0]);
        else
            key_up(channel, data[0]);
        break;
    case STATUS_NOTE_OFF:
        forward(status, data);
        key_up(channel, data[0]);
        break;
    case STATUS_CONTROL:
        play_control(status, data);
        break;
    }
}

void parse_byte(int byte) {
    if (midi_parse_byte(&parser, byte))
        play_message(parser.status, parser.data);
}

// Takes the oldest waiting chord out of the queue; 0 when there is none.
int take_chord(midi_chord *chord) {
    std::lock_guard<std::mutex> hold(stream_lock);
    if (!queue.count)
        return 0;
    *chord = queue.chords[queue.first];
    queue.first = (queue.first + 1) % MIDI_IN_QUEUE_CHORDS;
    queue.count--;
    return 1;
}

} // namespace

void set_midi_in_chord_handler(midi_in_chord_handler handler) {
    chord_handler = handler;
}

void feed_midi_in(const unsigned char *bytes, int count) {
    std::lock_guard<std::mutex> hold(stream_lock);
    for (int i = 0; i < count; i++)
        parse_byte(bytes[i]);
}

int midi_in_chords_waiting() {
    std::lock_guard<std::mutex> hold(stream_lock);
    return queue.count;
}

// The handler runs without the lock held, so that it may sound notes while a source plays on.
int deliver_midi_in_chords() {
    int delivered = 0;
    midi_chord chord;
    while (take_chord(&chord)) {
        if (chord_handler)
            chord_handler(chord.keys, chord.count);
        delivered++;
    }
    return delivered;
}

void drop_midi_in_chords() {
    std::lock_guard<std::mutex> hold(stream_lock);
    queue = chord_queue{};
}

void clear_midi_in() {
    std::lock_guard<std::mutex> hold(stream_lock);
    parser = midi_parser{};
    collector = chord_collector{};
    queue = chord_queue{};
}
