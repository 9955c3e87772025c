// Tests of the MIDI layer and the foreground player: the bytes sent, the reference counts of
// sounding keys, the play-unit clock and the timing of a played score. The clock is driven by
// setting msec directly; the bytes are recorded at the sender.
#include <allegro.h>
#include <gtest/gtest.h>

#include <vector>

#include "base/clock.h"
#include "playback/sound.h"

namespace {

struct sent_message {
    int at; // msec when sent
    std::vector<int> bytes;
    double late; // midi_send_lateness when sent
};

std::vector<sent_message> sent;

void record(unsigned char *bytes, int count) {
    sent.push_back({msec, std::vector<int>(bytes, bytes + count), midi_send_lateness});
}

std::vector<sent_message> sent_of_kind(int kind) {
    std::vector<sent_message> out;
    for (const sent_message &m : sent)
        if ((m.bytes[0] & 0xF0) == kind)
            out.push_back(m);
    return out;
}

// Every message that leaves the program is a channel message with 7-bit data bytes.
void expect_well_formed() {
    for (const sent_message &m : sent) {
        ASSERT_FALSE(m.bytes.empty());
        EXPECT_GE(m.bytes[0], 0x80);
        EXPECT_LE(m.bytes[0], 0xEF);
        for (size_t i = 1; i < m.bytes.size(); i++) {
            EXPECT_GE(m.bytes[i], 0);
            EXPECT_LT(m.bytes[i], 128);
        }
    }
}

void *no_memory(size_t) {
    return nullptr;
}

class SoundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        midi_send = record;
        msec = 1000;
        init_channel_status();
        sent.clear();
        init_track_info(&g_score);
        g_score.track_num = 1;
        g_score.default_tempo = 120;
        key[KEY_Q] = key[KEY_F8] = key[KEY_UP] = key[KEY_DOWN] = 0;
    }
    void TearDown() override {
        expect_well_formed();
        midi_send = midi_out;
        playing_item_alloc = std::malloc;
        key[KEY_Q] = key[KEY_F8] = key[KEY_UP] = key[KEY_DOWN] = 0;
    }
};

TEST_F(SoundTest, SendersFoldHighChannelsIntoSixteen) {
    _note_on(20, 60, 100);
    _note_off(31, 61);
    set_pan(16, PAN_CENTRE);
    set_patch(32, 5);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].bytes, (std::vector<int>{0x94, 60, 100}));
    EXPECT_EQ(sent[1].bytes, (std::vector<int>{0x8F, 61, 0}));
    EXPECT_EQ(sent[2].bytes, (std::vector<int>{0xB0, 10, 64}));
    EXPECT_EQ(sent[3].bytes, (std::vector<int>{0xC0, 5}));
}

TEST_F(SoundTest, PercussionPatchSendsNoProgramChange) {
    set_patch(9, PERCUSSION_PATCH);
    set_patch(9, 300);
    EXPECT_TRUE(sent.empty());
    set_patch(0, -4);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bytes, (std::vector<int>{0xC0, 0}));
}

TEST_F(SoundTest, DataBytesAreClampedToSevenBits) {
    _note_on(0, 200, 255);
    _note_on(0, -3, -1);
    EXPECT_EQ(sent[0].bytes, (std::vector<int>{0x90, 127, 127}));
    EXPECT_EQ(sent[1].bytes, (std::vector<int>{0x90, 0, 0}));
}

TEST_F(SoundTest, InitChannelStatusCentresEveryChannelAndClearsCounts) {
    note_on(3, 60, 90);
    sent.clear();
    init_channel_status();
    ASSERT_EQ(sent.size(), 16u);
    for (int c = 0; c < 16; c++)
        EXPECT_EQ(sent[c].bytes, (std::vector<int>{0xB0 + c, 10, 64}));
    EXPECT_EQ(channel_status[3][60].count, 0);
}

TEST_F(SoundTest, TwoHoldersOfOneKeySoundOnceAndStopOnce) {
    note_on(0, 60, 100);
    msec += RESTRIKE_MS;
    note_on(0, 60, 100);
    EXPECT_EQ(sent_of_kind(0x90).size(), 1u);
    note_off(0, 60);
    EXPECT_TRUE(sent_of_kind(0x80).empty());
    note_off(0, 60);
    EXPECT_EQ(sent_of_kind(0x80).size(), 1u);
    EXPECT_EQ(channel_status[0][60].count, 0);
}

TEST_F(SoundTest, ExtraNoteOffLeavesTheKeyFreeForTheNextNoteOn) {
    note_off(0, 60);
    EXPECT_EQ(sent_of_kind(0x80).size(), 1u);
    EXPECT_EQ(channel_status[0][60].count, 0);
    msec += RESTRIKE_MS;
    note_on(0, 60, 100);
    EXPECT_EQ(sent_of_kind(0x90).size(), 1u); // sounds at once: no restrike, no note-off first
    EXPECT_EQ(sent_of_kind(0x80).size(), 1u);
}

TEST_F(SoundTest, RestrikeAfterTwentyMilliseconds) {
    note_on(2, 64, 100);
    msec += RESTRIKE_MS + 1;
    note_on(2, 64, 80);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].bytes, (std::vector<int>{0x82, 64, 0}));
    EXPECT_EQ(sent[2].bytes, (std::vector<int>{0x92, 64, 80}));
    EXPECT_EQ(channel_status[2][64].count, 2);
}

TEST_F(SoundTest, FoldedChannelsShareTheirCounts) {
    note_on(1, 60, 100);
    note_on(17, 60, 100);
    note_off(1, 60);
    EXPECT_TRUE(sent_of_kind(0x80).empty());
    note_off(17, 60);
    EXPECT_EQ(sent_of_kind(0x80).size(), 1u);
}

TEST_F(SoundTest, KeysOutsideTheMidiRangeNeverSound) {
    note_on(0, 128, 100);
    note_on(0, -1, 100);
    note_off(0, 128);
    EXPECT_TRUE(sent.empty());
}

TEST(MidiClock, PlayUnitsFollowTheTempo) {
    msec = 5000;
    init_midi_timer();
    get_midi_time(1);
    msec += 1000;
    EXPECT_EQ(get_midi_time(0), 120 * 1000 / 128);
    set_midi_timer(60);
    msec += 1000;
    EXPECT_EQ(get_midi_time(0), 937 + 468);
    EXPECT_EQ(get_midi_tick(), 937 + 468);
    get_midi_time(1);
    msec += 128;
    EXPECT_EQ(get_midi_time(0), 60);
    EXPECT_EQ(get_midi_tick(), 937 + 468 + 60);
}

TEST(MidiClock, ZeroTempoStillAdvances) {
    msec = 0;
    init_midi_timer();
    set_midi_timer(0);
    msec += 1280;
    EXPECT_EQ(get_midi_time(0), 10);
}

TEST(MidiClock, ConversionsTruncate) {
    measure m;
    init_measure(&m);
    set_measure(&m, 3, 4, 0);
    EXPECT_EQ(measure_play_units(&m), 1406);
    set_measure(&m, 4, 4, 0);
    EXPECT_EQ(measure_play_units(&m), 1875);
    EXPECT_EQ(ticks_to_play_units(192), 468);
    EXPECT_EQ(ticks_to_play_units(768), 1875);
}

TEST_F(SoundTest, PlayingItemsAreRecycled) {
    playing.next = playing_item_garbage.next = nullptr;
    playing_item *a = new_playing_item();
    a->key = 60;
    a->end = 10;
    insert_sorted_playing_item_list(&playing, a);
    playing_item *b = new_playing_item();
    b->key = 62;
    b->end = 5;
    insert_sorted_playing_item_list(&playing, b);
    EXPECT_EQ(playing.next, b);
    EXPECT_EQ(b->next, a);
    _cast_playing_item(b);
    EXPECT_EQ(playing.next, a);
    EXPECT_EQ(playing_item_garbage.next, b);
    playing_item *c = new_playing_item();
    EXPECT_EQ(c, b);
    EXPECT_EQ(c->key, 0);
    EXPECT_EQ(playing_item_garbage.next, nullptr);
    std::free(c);
    kill_playing_item_list(playing.next);
    EXPECT_EQ(playing.next, nullptr);
    EXPECT_EQ(sent_of_kind(0x90).size(), 2u);
    EXPECT_EQ(sent_of_kind(0x80).size(), 2u);
}

TEST_F(SoundTest, EqualEndsKeepInsertionOrderBeforeLaterOnes) {
    playing.next = playing_item_garbage.next = nullptr;
    playing_item *a = new_playing_item();
    a->end = 7;
    playing_item *b = new_playing_item();
    b->end = 7;
    insert_sorted_playing_item_list(&playing, a);
    insert_sorted_playing_item_list(&playing, b);
    EXPECT_EQ(playing.next, b);
    kill_playing_item_list(playing.next);
    kill_playing_item_list(nullptr);
}

// ---- The player ----

class PlayerTest : public SoundTest {
  protected:
    score s;
    void SetUp() override {
        SoundTest::SetUp();
        init_score(&s);
    }
    void TearDown() override {
        destroy_score(&s);
        SoundTest::TearDown();
    }
    measure *add_measure(int num = 4, int bit = 4) {
        measure *m = new_measure();
        set_measure(m, num, bit, 0);
        _append_measure_list(&s.measures, m);
        return m;
    }
    note *add_note(measure *m, int x, int len, int pitch, int track = 0) {
        note *n = new_note();
        n->x = x;
        n->len = n->total_len = static_cast<int16_t>(len);
        n->pitch = static_cast<int16_t>(pitch);
        n->track = static_cast<int8_t>(track);
        n->volume = 100;
        _insert_sorted_note_list(&m->notes, n, note_comp);
        return n;
    }
    void add_tempo(measure *m, int x, int tempo) {
        m_event *e = new_m_event();
        e->x = x;
        e->type = EVENT_TEMPO;
        e->value = tempo;
        _insert_sorted_m_event_list(&m->m_events, e, m_event_comp);
    }
    // Plays from m, one pass per millisecond; returns the msec at which the player ended.
    int play(measure *m, int max_ms = 60000) {
        player_state state;
        start_playing(&state, &s, m);
        int start = msec;
        while (play_pass(&state) && msec - start < max_ms)
            msec++;
        finish_playing();
        return msec - start;
    }
};

// The player reports how long ago a note was due: here msec lags the monotonic clock by 300 ms,
// as when the library's timer thread is held up, so each note goes out 300 ms after its time;
// a note sent on time reports nothing, and nothing is left reported after the pass.
TEST_F(PlayerTest, LateNotesReportHowLateTheyAre) {
    constexpr int LAG_MS = 300, TOLERANCE_MS = 50;
    measure *m = add_measure();
    add_note(m, 0, 96, 0);
    add_note(m, 96, 96, 2);
    reset_clock();
    msec = -LAG_MS;
    player_state state;
    start_playing(&state, &s, m);
    play_pass(&state);
    msec = -LAG_MS + 250; // the second note is due now on msec
    play_pass(&state);
    finish_playing();
    auto ons = sent_of_kind(0x90);
    ASSERT_EQ(ons.size(), 2u);
    EXPECT_NEAR(ons[0].late, LAG_MS, TOLERANCE_MS);
    EXPECT_NEAR(ons[1].late, LAG_MS - 250, TOLERANCE_MS);
    EXPECT_EQ(midi_send_lateness, 0.0);
    for (const sent_message &p : sent_of_kind(0xB0))
        EXPECT_EQ(p.late, 0.0) << "a pan is no note";
}

TEST_F(PlayerTest, QuarterNotesAtTempo120LastHalfASecond) {
    measure *m = add_measure();
    add_note(m, 0, 192, 0);
    add_note(m, 192, 192, 2);
    add_note(m, 384, 384, 4);
    int took = play(m);
    EXPECT_NEAR(took, 2000, 2);
    auto ons = sent_of_kind(0x90);
    auto offs = sent_of_kind(0x80);
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_EQ(ons[0].bytes, (std::vector<int>{0x90, 60, 100}));
    EXPECT_EQ(ons[1].bytes[1], 62);
    EXPECT_EQ(ons[2].bytes[1], 64);
    EXPECT_NEAR(ons[1].at - ons[0].at, 500, 2);
    EXPECT_NEAR(ons[2].at - ons[0].at, 1000, 2);
    ASSERT_GE(offs.size(), 3u);
    EXPECT_EQ(offs[0].bytes[1], 60);
    EXPECT_NEAR(offs[0].at - ons[0].at, 500, 2);
    EXPECT_EQ(offs[1].bytes[1], 62);
    EXPECT_NEAR(offs[1].at - ons[1].at, 500, 2);
    for (auto &row : channel_status)
        for (channel_status_t &cell : row)
            EXPECT_EQ(cell.count, 0);
}

TEST_F(PlayerTest, ProgramsAreSentForEveryTrackBeforePlaying) {
    g_score.track_num = 3;
    g_score.tracks[1].patch = 40;
    g_score.tracks[2].patch = PERCUSSION_PATCH;
    g_score.tracks[2].channel = 9;
    add_measure();
    play(s.measures.head);
    auto programs = sent_of_kind(0xC0);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].bytes, (std::vector<int>{0xC0, 0}));
    EXPECT_EQ(programs[1].bytes, (std::vector<int>{0xC1, 40}));
}

TEST_F(PlayerTest, ThreeFourMeasureLasts1406PlayUnits) {
    measure *m = add_measure(3, 4);
    add_measure(3, 4);
    int took = play(m);
    // 2 x 1406 units at 120/128 units per millisecond.
    EXPECT_NEAR(took, 2 * 1500, 3);
}

TEST_F(PlayerTest, TiedNoteSoundsOnceForItsWholeLength) {
    measure *m1 = add_measure();
    measure *m2 = add_measure();
    note *first = add_note(m1, 576, 192, 7);
    note *second = add_note(m2, 0, 192, 7);
    first->total_len = 384;
    first->l_next = second;
    second->l_prev = first;
    play(m1);
    auto ons = sent_of_kind(0x90);
    auto offs = sent_of_kind(0x80);
    ASSERT_EQ(ons.size(), 1u);
    EXPECT_EQ(ons[0].bytes[1], 67);
    ASSERT_GE(offs.size(), 1u);
    EXPECT_NEAR(offs[0].at - ons[0].at, 1000, 2);
}

// A staccato note sounds half its chain's length, a tied one counted over both measures.
TEST_F(PlayerTest, StaccatoNotesSoundHalfTheirChain) {
    struct {
        int len, staccato, tied, sounds_ms;
    } cases[] = {{192, 0, 0, 500}, {192, 1, 0, 250}, {384, 1, 1, 500}, {288, 1, 0, 375}};
    for (const auto &c : cases) {
        destroy_score(&s);
        init_score(&s);
        sent.clear();
        measure *m1 = add_measure();
        measure *m2 = add_measure();
        note *first = add_note(m1, c.tied ? 576 : 0, c.tied ? 192 : c.len, 7);
        first->total_len = static_cast<int16_t>(c.len);
        first->staccato = c.staccato;
        if (c.tied) {
            note *second = add_note(m2, 0, 192, 7);
            second->staccato = c.staccato;
            first->l_next = second;
            second->l_prev = first;
        }
        play(m1);
        auto ons = sent_of_kind(0x90);
        auto offs = sent_of_kind(0x80);
        ASSERT_EQ(ons.size(), 1u) << c.len;
        ASSERT_GE(offs.size(), 1u) << c.len;
        EXPECT_NEAR(offs[0].at - ons[0].at, c.sounds_ms, 2) << c.len << " staccato " << c.staccato;
    }
}

TEST_F(PlayerTest, MutedTracksAndRestsAreSilent) {
    g_score.track_num = 2;
    g_score.tracks[1].mute = 1;
    measure *m = add_measure();
    add_note(m, 0, 192, 0, 1);
    note *r = add_note(m, 192, 192, 0, 0);
    r->rest = 1;
    add_note(m, 384, 192, 5, 0);
    play(m);
    auto ons = sent_of_kind(0x90);
    ASSERT_EQ(ons.size(), 1u);
    EXPECT_EQ(ons[0].bytes[1], 65);
}

TEST_F(PlayerTest, PitchIsClampedToTheKeyRange) {
    measure *m = add_measure();
    add_note(m, 0, 96, 68);
    add_note(m, 96, 96, -61);
    add_note(m, 192, 96, 67);
    add_note(m, 288, 96, -60);
    play(m);
    auto ons = sent_of_kind(0x90);
    ASSERT_EQ(ons.size(), 4u);
    EXPECT_EQ(ons[0].bytes[1], 127);
    EXPECT_EQ(ons[1].bytes[1], 0);
    EXPECT_EQ(ons[2].bytes[1], 127);
    EXPECT_EQ(ons[3].bytes[1], 0);
}

TEST_F(PlayerTest, TempoEventHalvesTheSpeed) {
    measure *m1 = add_measure();
    measure *m2 = add_measure();
    add_tempo(m2, 0, 60);
    add_note(m2, 0, 192, 0);
    add_note(m2, 192, 192, 2);
    int took = play(m1);
    auto ons = sent_of_kind(0x90);
    ASSERT_EQ(ons.size(), 2u);
    EXPECT_NEAR(ons[1].at - ons[0].at, 1000, 2);
    EXPECT_NEAR(took, 2000 + 4000, 4);
}

TEST_F(PlayerTest, PlayingStartsAtTheTempoInForce) {
    measure *m1 = add_measure();
    measure *m2 = add_measure();
    add_tempo(m1, 0, 240);
    add_note(m2, 0, 192, 0);
    add_note(m2, 192, 192, 2);
    play(m2);
    auto ons = sent_of_kind(0x90);
    ASSERT_EQ(ons.size(), 2u);
    EXPECT_NEAR(ons[1].at - ons[0].at, 250, 2);
}

TEST_F(PlayerTest, ALatePassAtTheBarLineDoesNotDelayTheNextMeasure) {
    measure *m1 = add_measure();
    measure *m2 = add_measure();
    add_note(m1, 0, 192, 0);
    add_note(m2, 0, 192, 2);
    add_note(m2, 192, 192, 4);
    player_state state;
    start_playing(&state, &s, m1);
    int start = msec;
    while (play_pass(&state) && msec - start < 10000)
        msec += msec - start == 1995 ? 30 : 1; // the machine was busy across the bar line
    finish_playing();
    auto ons = sent_of_kind(0x90);
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_NEAR(ons[1].at - start, 2025, 1); // noticed late: unavoidable
    EXPECT_NEAR(ons[2].at - start, 2500, 2);
    EXPECT_NEAR(msec - start, 4000, 2);
}

TEST_F(PlayerTest, ChordStartsInOnePass) {
    measure *m = add_measure();
    add_note(m, 0, 192, 0);
    add_note(m, 0, 192, 4);
    add_note(m, 0, 192, 7);
    play(m);
    auto ons = sent_of_kind(0x90);
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_EQ(ons[0].at, ons[2].at);
}

TEST_F(PlayerTest, QStopsPlayingAndLeavesNothingSounding) {
    measure *m = add_measure();
    add_note(m, 0, 768, 0);
    add_measure();
    key[KEY_Q] = 1;
    int took = play(m);
    EXPECT_LE(took, KEYBOARD_POLL_PASSES);
    EXPECT_EQ(sent_of_kind(0x90).size(), 1u);
    EXPECT_EQ(sent_of_kind(0x80).size(), 1u);
    EXPECT_EQ(channel_status[0][60].count, 0);
}

TEST_F(PlayerTest, F8StopsPlayScore) {
    measure *m = add_measure();
    add_note(m, 0, 768, 0);
    key[KEY_F8] = 1;
    play_score(&s, m); // the clock stands still: only the key can end it
    EXPECT_EQ(sent_of_kind(0x90).size(), 1u);
    EXPECT_EQ(sent_of_kind(0x80).size(), 1u);
}

TEST_F(PlayerTest, NotesWithoutMemoryAreSkipped) {
    measure *m = add_measure();
    add_note(m, 0, 192, 0);
    add_note(m, 192, 192, 2);
    playing_item_alloc = no_memory;
    int took = play(m);
    EXPECT_TRUE(sent_of_kind(0x90).empty());
    EXPECT_NEAR(took, 2000, 2);
}

TEST_F(PlayerTest, AuditionProgramStaysInRange) {
    add_measure();
    add_measure();
    key[KEY_DOWN] = 1;
    play(s.measures.head, 1500);
    for (const sent_message &p : sent_of_kind(0xC0))
        EXPECT_EQ(p.bytes[1], 0);
    sent.clear();
    key[KEY_DOWN] = 0;
    key[KEY_UP] = 1;
    play(s.measures.head, 4000);
    auto programs = sent_of_kind(0xC0);
    // One program for the track, then one step up every 500 ms.
    ASSERT_GE(programs.size(), 5u);
    EXPECT_EQ(programs[1].bytes[1], 1);
    EXPECT_EQ(programs[2].bytes[1], 2);
    EXPECT_GE(programs[2].at - programs[1].at, AUDITION_REPEAT_MS);
}

// ---- Playing from a spot, round a loop, with clicks and a count-in ----

class FollowPlayerTest : public PlayerTest {
  protected:
    int frames = 0;
    void TearDown() override {
        play_options = {};
        play_frame = nullptr;
        PlayerTest::TearDown();
    }
    // Plays from spot with play_options, one pass per millisecond and a frame between passes
    // when one is due; returns the msec the player ran.
    int play_from(play_spot spot, int max_ms) {
        player_state state;
        start_playing_from(&state, &s, spot);
        int start = msec;
        while (play_pass(&state) && msec - start < max_ms) {
            frame_between_passes(&state);
            msec++;
        }
        finish_playing();
        return msec - start;
    }
    std::vector<int> keys_on(int channel) {
        std::vector<int> keys;
        for (const sent_message &m : sent_of_kind(0x90))
            if ((m.bytes[0] & 0x0F) == channel)
                keys.push_back(m.bytes[1]);
        return keys;
    }
    std::vector<int> times_on(int channel) {
        std::vector<int> at;
        for (const sent_message &m : sent_of_kind(0x90))
            if ((m.bytes[0] & 0x0F) == channel)
                at.push_back(m.at);
        return at;
    }
};

int frame_cost_ms = 0;
int frames_drawn = 0;
// A frame that takes its time, as drawing and showing the picture does.
void slow_frame() {
    frames_drawn++;
    msec += frame_cost_ms;
}

TEST_F(FollowPlayerTest, StartsAtTheSpotWithTheTempoInForceThere) {
    measure *m = add_measure();
    add_note(m, 0, 192, 0);
    add_note(m, 384, 192, 2);
    add_note(m, 576, 192, 4);
    add_tempo(m, 192, 240);
    int took = play_from({m, 384}, 10000);
    EXPECT_EQ(keys_on(0), (std::vector<int>{62, 64}));
    auto at = times_on(0);
    EXPECT_NEAR(at[1] - at[0], 250, 2);
    EXPECT_NEAR(took, 500, 3);
}

// A loop inside one measure and a loop over a bar line: the music goes round until stopped.
TEST_F(FollowPlayerTest, LoopRunsRoundTheSelection) {
    struct {
        int start_x, end_measure, end_x;
        std::vector<int> keys;
    } cases[] = {
        {192, 0, 576, {60, 62, 64, 62, 64, 62, 64, 62, 64, 62}},
        {576, 1, 192, {60, 62, 64, 66, 67, 66, 67, 66, 67, 66}},
    };
    for (const auto &c : cases) {
        destroy_score(&s);
        init_score(&s);
        measure *m[] = {add_measure(), add_measure()};
        for (int i = 0; i < 4; i++)
            add_note(m[0], 192 * i, 192, 2 * i);
        add_note(m[1], 0, 192, 7);
        add_note(m[1], 192, 192, 9);
        s.select_start = m[0];
        s.select_start_x = c.start_x;
        s.select_end = m[c.end_measure];
        s.select_end_x = c.end_x;
        play_options.loop = 1;
        sent.clear();
        play_from({m[0], 0}, 1500 + 3 * 1000 + 100); // from the start: into the loop
        EXPECT_EQ(keys_on(0), c.keys);
        auto at = times_on(0);
        for (size_t i = 1; i < at.size(); i++)
            EXPECT_NEAR(at[i] - at[i - 1], 500, 3) << "note " << i; // no gap at the turn
        for (auto &row : channel_status)
            for (channel_status_t &cell : row)
                EXPECT_EQ(cell.count, 0);
    }
}

// Clicks fall on the beats of each measure's signature and follow a tempo change.
TEST_F(FollowPlayerTest, MetronomeFollowsSignaturesAndTempo) {
    measure *a = add_measure(3, 4);
    measure *b = add_measure(6, 8);
    add_tempo(b, 0, 60);
    play_options.metronome = 1;
    play_from({a, 0}, 20000);
    EXPECT_EQ(keys_on(CLICK_CHANNEL), (std::vector<int>{76, 77, 77, 76, 77, 77, 77, 77, 77}));
    auto at = times_on(CLICK_CHANNEL);
    const int want[] = {0, 500, 1000, 1500, 2000, 2500, 3000, 3500, 4000};
    for (size_t i = 0; i < at.size(); i++)
        EXPECT_NEAR(at[i] - at[0], want[i], 3) << "click " << i;
}

TEST_F(FollowPlayerTest, CountInClicksOneMeasureFirst) {
    measure *m = add_measure(3, 4);
    add_note(m, 192, 192, 0);
    play_options.count_in = 1;
    int took = play_from({m, 192}, 10000);
    EXPECT_EQ(keys_on(CLICK_CHANNEL), (std::vector<int>{76, 77, 77}));
    auto clicks = times_on(CLICK_CHANNEL), notes = times_on(0);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NEAR(notes[0] - clicks[0], 1500, 3);
    EXPECT_NEAR(took, 1500 + 1000, 4);
}

// Frames that take 10 ms each are drawn between passes, never where they would delay a note.
TEST_F(FollowPlayerTest, FramesLeaveTheNotesOnTime) {
    measure *m = add_measure();
    for (int i = 0; i < 16; i++)
        add_note(m, 48 * i, 24, i % 2);
    frame_cost_ms = 10;
    frames_drawn = 0;
    play_frame = slow_frame;
    play_from({m, 0}, 10000);
    auto at = times_on(0);
    ASSERT_EQ(at.size(), 16u);
    for (size_t i = 0; i < at.size(); i++)
        EXPECT_NEAR(at[i] - at[0], 125 * static_cast<int>(i), 2) << "note " << i;
    EXPECT_GE(frames_drawn, 2000 / 125); // one in each gap between the sixteenths at least
}

} // namespace
