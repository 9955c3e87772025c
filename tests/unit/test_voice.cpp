// Measure validation: voices of chords and ties, the rest fill of gaps, trailing stretches
// and silent tracks, the 512-slot limit and the numbering of columns.
#include <set>

#include "invariants.h"
#include "model_core_helpers.h"

namespace {

using namespace model_test;

class Validation : public ::testing::Test {
  protected:
    void SetUp() override { reset_score(1); }
    void TearDown() override { release_score(); }
};

TEST_F(Validation, EmptyMeasureGetsOneMeasureRestPerTrack) {
    const int sigs[][3] = {{4, 4, 768}, {5, 4, 960}, {7, 8, 672}};
    for (const auto &sig : sigs) {
        reset_score(3, 1, sig[0], sig[1]);
        measure *m = nth(0);
        validate_measure(m);
        ASSERT_EQ(m->notes.num, 3);
        for (note *r = m->notes.head; r; r = r->next) {
            EXPECT_TRUE(r->rest);
            EXPECT_EQ(r->x, 0);
            EXPECT_EQ(r->len, sig[2]);
            EXPECT_EQ(r->total_len, sig[2]);
        }
        EXPECT_EQ(m->n_pos, 1);
        expect_voices_fill_measure(m);
    }
}

TEST_F(Validation, SingleQuarterGetsRestsBeforeAndAfter) {
    measure *m = nth(0);
    add_note(m, 192, 192, 4);
    validate_measure(m);
    EXPECT_EQ(track_layout(m, 0), "r0:192 192:192 r384:384");
    for (note *e = m->notes.head; e; e = e->next)
        EXPECT_EQ(e->voice, 0);
    EXPECT_EQ(m->n_pos, 3);
    EXPECT_EQ(m->width, 90);
    EXPECT_EQ(m->notes.head->next->pos.x, 1);
    expect_voices_fill_measure(m);
    expect_columns(m);
}

TEST_F(Validation, RestsOfANewVoiceCarryTheNotesPitch) {
    measure *m = nth(0);
    add_note(m, 192, 192, 7);
    validate_measure(m);
    note *before = m->notes.head;
    ASSERT_TRUE(before->rest);
    EXPECT_EQ(before->pitch, 7);
    EXPECT_EQ(before->pos.y, 4);
    EXPECT_EQ(m->notes.tail->pitch, 7);
}

TEST_F(Validation, RevalidationReplacesTheRests) {
    measure *m = nth(0);
    add_note(m, 192, 192);
    validate_measure(m);
    validate_measure(m);
    EXPECT_EQ(track_layout(m, 0), "r0:192 192:192 r384:384");
    EXPECT_EQ(count_elements(m, true), 2);
}

TEST_F(Validation, ChordTakesOneVoicePerNoteWithOwnTrailingRests) {
    measure *m = nth(0);
    add_note(m, 0, 192, 0);
    add_note(m, 0, 192, 4);
    add_note(m, 0, 384, 7);
    validate_measure(m);
    EXPECT_EQ(n_voice_slot, 3);
    int voices_seen[3] = {0, 0, 0};
    for (note *e = m->notes.head; e; e = e->next) {
        ASSERT_GE(e->voice, 0);
        ASSERT_LT(e->voice, 3);
        voices_seen[e->voice]++;
        if (e->rest) {
            note *owner = m->notes.head;
            while (owner && (owner->rest || owner->voice != e->voice))
                owner = owner->next;
            ASSERT_NE(owner, nullptr);
            EXPECT_EQ(e->pitch, owner->pitch);
            EXPECT_EQ(e->pos.y, owner->pos.y);
            EXPECT_EQ(e->total_len, e->len);
        }
    }
    EXPECT_EQ(voices_seen[0], 2); // 0:192 and its rest 192:576 -> 192 + 384
    expect_voices_fill_measure(m);
    expect_columns(m);
}

TEST_F(Validation, NextChordReusesTheNearestFreeVoice) {
    measure *m = nth(0);
    note *low = add_note(m, 0, 192, 0);
    note *high = add_note(m, 0, 192, 12);
    note *near_high = add_note(m, 192, 192, 11);
    note *near_low = add_note(m, 192, 192, 2);
    validate_measure(m);
    EXPECT_EQ(n_voice_slot, 2);
    EXPECT_EQ(near_low->voice, low->voice);
    EXPECT_EQ(near_high->voice, high->voice);
    EXPECT_NE(low->voice, high->voice);
    expect_voices_fill_measure(m);
}

TEST_F(Validation, OverlappingNotesOpenAVoiceWithLeadingRests) {
    measure *m = nth(0);
    add_note(m, 0, 384, 0);
    note *inner = add_note(m, 192, 192, 5);
    validate_measure(m);
    EXPECT_EQ(n_voice_slot, 2);
    EXPECT_EQ(inner->voice, 1);
    note *lead = m->notes.head;
    while (lead && !(lead->rest && lead->voice == 1))
        lead = lead->next;
    ASSERT_NE(lead, nullptr);
    EXPECT_EQ(lead->x, 0);
    EXPECT_EQ(lead->len, 192);
    EXPECT_EQ(lead->pitch, 5);
    expect_voices_fill_measure(m);
}

TEST_F(Validation, VoicesArePerTrack) {
    reset_score(2);
    measure *m = nth(0);
    note *a = add_note(m, 0, 192, 0, 0);
    note *b = add_note(m, 192, 192, 0, 1);
    validate_measure(m);
    EXPECT_EQ(n_voice_slot, 2);
    EXPECT_NE(a->voice, b->voice);
    EXPECT_EQ(track_layout(m, 1), "r0:192 192:192 r384:384");
    expect_voices_fill_measure(m);
}

TEST_F(Validation, SilentTrackBesideBusyTrackGetsAMeasureRest) {
    reset_score(3);
    measure *m = nth(0);
    add_note(m, 0, 768, 0, 1);
    validate_measure(m);
    EXPECT_EQ(track_layout(m, 0), "r0:768");
    EXPECT_EQ(track_layout(m, 1), "0:768");
    EXPECT_EQ(track_layout(m, 2), "r0:768");
}

TEST_F(Validation, PieceTiedOnOccupiesItsVoiceForTheWholeChain) {
    measure *m = nth(0);
    note *first = add_note(m, 0, 192, 0);
    note *second = add_note(m, 192, 48, 0);
    _l_tie_note(first, second);
    get_total_len(first);
    validate_measure(m);
    EXPECT_EQ(n_voice_slot, 1);
    EXPECT_EQ(track_layout(m, 0), "0:192 192:48 r240:48 r288:96 r384:384");
    expect_voices_fill_measure(m);
}

TEST_F(Validation, PieceTiedOverFromThePreviousMeasureTakesAVoice) {
    reset_score(1, 2);
    measure *m0 = nth(0), *m1 = nth(1);
    note *first = add_note(m0, 576, 192, 0);
    note *over = add_note(m1, 0, 192, 0);
    _l_tie_note(first, over);
    get_total_len(first);
    validate_measure(m1);
    EXPECT_EQ(track_layout(m1, 0), "0:192 r192:576"); // a dotted half on the second beat
    EXPECT_EQ(over->voice, 0);
}

TEST_F(Validation, PieceTiedOverAndOnAgainReservesItsTotalLength) {
    reset_score(1, 3);
    measure *m1 = nth(1);
    note *over = add_note(m1, 0, 768, 0);
    note *on = add_note(nth(2), 0, 192, 0);
    _l_tie_note(over, on);
    get_total_len(over);
    validate_measure(m1);
    EXPECT_EQ(count_elements(m1, true), 0);
}

TEST_F(Validation, MoreThan512VoicesLeavesTheRestWithoutVoice) {
    const int8_t untouched = 99;
    measure *m = nth(0);
    for (int i = 0; i < MAX_VOICE_SLOTS + 20; i++)
        add_note(m, 0, 192, i % 100)->voice = untouched;
    validate_measure(m);
    EXPECT_EQ(n_voice_slot, MAX_VOICE_SLOTS);
    EXPECT_EQ(count_elements(m, false), MAX_VOICE_SLOTS + 20);
    EXPECT_EQ(count_elements(m, true), MAX_VOICE_SLOTS);
    int placed = 0;
    for (note *e = m->notes.head; e; e = e->next) {
        if (!e->rest && placed++ >= MAX_VOICE_SLOTS) {
            EXPECT_EQ(e->voice, untouched) << "the notes after the 512th get no voice";
        }
    }
}

// Voice numbers beyond a byte stay apart: a chord of 300 notes has 300 voices.
TEST_F(Validation, EveryOneOfManyVoicesKeepsItsOwnNumber) {
    measure *m = nth(0);
    for (int i = 0; i < 300; i++)
        add_note(m, 0, 192, i % 100);
    validate_measure(m);
    std::set<int> voices;
    for (note *e = m->notes.head; e; e = e->next)
        if (!e->rest)
            voices.insert(e->voice);
    EXPECT_EQ(voices.size(), 300u);
    EXPECT_TRUE(score_invariants(&g_score));
}

TEST_F(Validation, ByNoteNeedsANote) {
    measure *m = nth(0);
    EXPECT_EQ(validate_measure_by_note(m, nullptr), 0);
    EXPECT_EQ(m->notes.num, 0);
    note *n = add_note(m, 0, 192);
    EXPECT_EQ(validate_measure_by_note(m, n), 1);
    EXPECT_EQ(track_layout(m, 0), "0:192 r192:576");
}

TEST_F(Validation, WidthOfAMeasureWithMoreColumnsThanSixteenBitsOfPixels) {
    reset_score(1, 1, 32, 1); // 32/1: 24576 ticks
    measure *m = nth(0);
    constexpr int columns = 1200; // 36000 pixels
    for (int i = 0; i < columns; i++)
        add_note(m, i * 12, 12);
    validate_measure(m);
    EXPECT_GE(m->n_pos, columns);
    EXPECT_EQ(m->width, m->unit_x * m->n_pos);
    EXPECT_GT(m->width, 32767);
}

TEST_F(Validation, SingleTrackArgumentStillValidatesEveryTrack) {
    reset_score(2);
    measure *m = nth(0);
    add_note(m, 0, 192, 0, 0);
    add_note(m, 192, 192, 0, 1);
    _validate_measure(m, 1, 1);
    EXPECT_EQ(track_layout(m, 0), "0:192 r192:576");
    EXPECT_EQ(track_layout(m, 1), "r0:192 192:192 r384:384");
}

TEST(VoiceSlots, FreeSlotOfTheSameTrackNearestInPitchLowerIndexOnTies) {
    n_voice_slot = 0;
    for (int pitch : {0, 10, 20}) {
        int s = get_free_voice_slot(pitch, 0);
        EXPECT_EQ(new_slot_allocated, 1);
        voice_slot[s].pitch = pitch;
        voice_slot[s].busy = 1;
    }
    for (int i = 0; i < n_voice_slot; i++)
        voice_slot[i].busy = 0;
    EXPECT_EQ(get_free_voice_slot(15, 0), 1);
    EXPECT_EQ(new_slot_allocated, 0);
    EXPECT_EQ(get_free_voice_slot(19, 0), 2);
    int other = get_free_voice_slot(19, 1);
    EXPECT_EQ(other, 3);
    EXPECT_EQ(new_slot_allocated, 1);
}

TEST(VoiceSlots, CheckFreesSlotsEndingAtOrBefore) {
    n_voice_slot = 2;
    voice_slot[0] = {0, 192, 0, 1, 0, 0};
    voice_slot[1] = {0, 384, 0, 1, 0, 0};
    EXPECT_EQ(check_voice_slot(192), 1);
    EXPECT_EQ(voice_slot[0].busy, 0);
    EXPECT_EQ(voice_slot[1].busy, 1);
}

TEST_F(Validation, ClearRestsOfOneTrack) {
    reset_score(2);
    measure *m = nth(0);
    validate_measure(m);
    EXPECT_EQ(measure_clear_all_rests(m, 1), 1);
    EXPECT_EQ(track_layout(m, 1), "");
    EXPECT_EQ(track_layout(m, 0), "r0:768");
}

TEST_F(Validation, ColumnsCountOnlyShownTracks) {
    reset_score(2);
    measure *m = nth(0);
    add_note(m, 96, 96, 0, 1);
    validate_measure(m);
    EXPECT_EQ(m->n_pos, 3);
    g_score.tracks[0].active = 0;
    g_score.tracks[1].active = 0;
    EXPECT_EQ(update_measure_order(m, 1), 1);
    EXPECT_EQ(m->width, 30);
    EXPECT_EQ(update_measure_order(m, 0), 3);
    g_score.tracks[1].active = 1;
    _validate_measure(m, -1, 1);
    expect_columns(m);
}

} // namespace
