// Tests of the MIDI keyboard's stream: raw bytes go in through the feed, and what comes out is
// checked on both sides: the chords handed to the editor and the messages sent on to the MIDI
// output (recorded at the sender).
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "playback/midi_in.h"
#include "playback/sound.h"

namespace {

typedef std::vector<int> keys;

std::vector<keys> chords;
std::vector<keys> sent;

void record_chord(const int *k, int count) {
    chords.push_back(keys(k, k + count));
}

void record_sent(unsigned char *bytes, int count) {
    sent.push_back(keys(bytes, bytes + count));
}

class MidiIn : public ::testing::Test {
  protected:
    midi_send_function saved_send = midi_send;
    void SetUp() override {
        clear_midi_in();
        chords.clear();
        sent.clear();
        midi_send = record_sent;
        set_midi_in_chord_handler(record_chord);
    }
    void TearDown() override {
        midi_send = saved_send;
        set_midi_in_chord_handler(nullptr);
        clear_midi_in();
    }
    void feed(const std::vector<unsigned char> &bytes) {
        feed_midi_in(bytes.data(), static_cast<int>(bytes.size()));
    }
};

struct stream_case {
    const char *what;
    std::vector<unsigned char> bytes;
    std::vector<keys> chords; // delivered, in order
    std::vector<keys> sent;   // sent on to the output, in order
};

const std::vector<stream_case> STREAM_CASES = {
    {"one key", {0x90, 60, 100, 0x80, 60, 0}, {{60}}, {{0x90, 60, 100}, {0x80, 60, 0}}},
    {"overlapping keys make one chord, emitted when the last is released",
     {0x90, 60, 90, 0x90, 64, 90, 0x80, 60, 0, 0x90, 67, 90, 0x80, 64, 0, 0x80, 67, 0},
     {{60, 64, 67}},
     {{0x90, 60, 90}, {0x90, 64, 90}, {0x80, 60, 0}, {0x90, 67, 90}, {0x80, 64, 0}, {0x80, 67, 0}}},
    {"keys played one after another are separate chords",
     {0x90, 62, 80, 0x80, 62, 0, 0x90, 60, 80, 0x80, 60, 0},
     {{62}, {60}},
     {{0x90, 62, 80}, {0x80, 62, 0}, {0x90, 60, 80}, {0x80, 60, 0}}},
    {"a note-on of velocity 0 releases, with running status",
     {0x91, 72, 70, 76, 70, 72, 0, 76, 0},
     {{72, 76}},
     {{0x91, 72, 70}, {0x91, 76, 70}, {0x91, 72, 0}, {0x91, 76, 0}}},
    {"the sustain pedal sounds but does not hold the chord",
     {0xB0, 64, 127, 0x90, 60, 90, 0x80, 60, 0, 0x90, 62, 90, 0x80, 62, 0, 0xB0, 64, 0},
     {{60}, {62}},
     {{0xB0, 64, 127},
      {0x90, 60, 90},
      {0x80, 60, 0},
      {0x90, 62, 90},
      {0x80, 62, 0},
      {0xB0, 64, 0}}},
    {"stray note-offs and a repeated note-on change nothing",
     {0x80, 50, 0, 0x90, 60, 90, 0x90, 60, 91, 0x80, 60, 0, 0x80, 60, 0},
     {{60}},
     {{0x80, 50, 0}, {0x90, 60, 90}, {0x90, 60, 91}, {0x80, 60, 0}, {0x80, 60, 0}}},
    {"clock bytes inside a message, SysEx and stray data are skipped",
     {0x40, 0xF0, 0x7E, 0x90, 0x01, 0xF7, 0x30, 0x90, 0xF8, 60, 0xFE, 90, 0x80, 60, 0xF8, 0},
     {{60}},
     {{0x90, 60, 90}, {0x80, 60, 0}}},
    {"a truncated message is dropped at the next status byte",
     {0x90, 60, 0x90, 61, 90, 0x80, 61, 0},
     {{61}},
     {{0x90, 61, 90}, {0x80, 61, 0}}},
    {"other messages are neither sent on nor entered",
     {0xC0, 5, 0xE0, 0, 64, 0xB0, 7, 100, 0xD0, 30, 0xA0, 60, 10, 0xF2, 1, 2},
     {},
     {}},
    {"all notes off ends the chord of keys still held",
     {0x90, 60, 90, 0x90, 64, 90, 0xB0, 123, 0, 0x80, 60, 0},
     {{60, 64}},
     {{0x90, 60, 90}, {0x90, 64, 90}, {0xB0, 123, 0}, {0x80, 60, 0}}},
    {"the same key on two channels is released by the last",
     {0x90, 60, 90, 0x91, 60, 90, 0x80, 60, 0, 0x81, 60, 0},
     {{60}},
     {{0x90, 60, 90}, {0x91, 60, 90}, {0x80, 60, 0}, {0x81, 60, 0}}},
};

TEST_F(MidiIn, StreamsGiveChordsAndSound) {
    for (const stream_case &c : STREAM_CASES) {
        SCOPED_TRACE(c.what);
        clear_midi_in();
        chords.clear();
        sent.clear();
        feed(c.bytes);
        EXPECT_EQ(deliver_midi_in_chords(), static_cast<int>(c.chords.size()));
        EXPECT_EQ(chords, c.chords);
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(midi_in_chords_waiting(), 0);
    }
}

// A chord is whole only when its last key is released, however the bytes are split.
TEST_F(MidiIn, ChordWaitsForTheLastRelease) {
    feed({0x90, 60, 90, 0x90});
    feed({64, 90, 0x80, 60});
    feed({0});
    EXPECT_EQ(midi_in_chords_waiting(), 0);
    feed({0x80, 64, 0});
    EXPECT_EQ(midi_in_chords_waiting(), 1);
    deliver_midi_in_chords();
    EXPECT_EQ(chords, (std::vector<keys>{{60, 64}}));
}

// A keyboard played while nobody collects fills the queue to its bound and no further; the
// oldest chords are kept and dropping empties it.
TEST_F(MidiIn, QueueIsBounded) {
    for (int i = 0; i < MIDI_IN_QUEUE_CHORDS + 10; i++)
        feed({0x90, static_cast<unsigned char>(i), 90, 0x80, static_cast<unsigned char>(i), 0});
    EXPECT_EQ(midi_in_chords_waiting(), MIDI_IN_QUEUE_CHORDS);
    EXPECT_EQ(deliver_midi_in_chords(), MIDI_IN_QUEUE_CHORDS);
    ASSERT_EQ(chords.size(), static_cast<size_t>(MIDI_IN_QUEUE_CHORDS));
    EXPECT_EQ(chords.front(), keys{0});
    EXPECT_EQ(chords.back(), keys{MIDI_IN_QUEUE_CHORDS - 1});
    feed({0x90, 60, 90, 0x80, 60, 0});
    drop_midi_in_chords();
    EXPECT_EQ(deliver_midi_in_chords(), 0);
}

// Two sources feeding at once on their own threads: every message reaches the output whole and
// every chord is counted.
TEST_F(MidiIn, SourcesOnTwoThreads) {
    constexpr int ROUNDS = 200;
    auto play = [](unsigned char channel) {
        for (int i = 0; i < ROUNDS; i++) {
            unsigned char on[] = {static_cast<unsigned char>(0x90 | channel), 60, 90};
            unsigned char off[] = {static_cast<unsigned char>(0x80 | channel), 60, 0};
            feed_midi_in(on, 3);
            feed_midi_in(off, 3);
        }
    };
    std::thread a(play, 0), b(play, 1);
    int delivered = 0;
    while (a.joinable() || b.joinable()) {
        delivered += deliver_midi_in_chords();
        if (a.joinable())
            a.join();
        if (b.joinable())
            b.join();
    }
    delivered += deliver_midi_in_chords();
    EXPECT_GT(delivered, 0);
    EXPECT_EQ(sent.size(), static_cast<size_t>(4 * ROUNDS));
    for (const keys &m : sent)
        EXPECT_EQ(m.size(), 3u);
}

} // namespace
