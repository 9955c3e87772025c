// Tests of the chunked note pointer array and of the editor's sounding set: which notes sound
// with an edited note in each edit-sound mode, and the note-on/note-off bytes they cause.
#include <allegro.h>
#include <gtest/gtest.h>

#include <vector>

#include "base/clock.h"
#include "editor/cursor.h"
#include "playback/sound.h"

namespace {

int chunks_of(note_p_array *a) {
    int n = 0;
    for (; a; a = a->next)
        n++;
    return n;
}

TEST(NotePointerArray, GrowsByChunksOfTheFirstSize) {
    note_p_array *a = create_note_p_array(128);
    EXPECT_EQ(chunks_of(a), 1);
    note **slot0 = get_note_p_array(a, 0);
    note **slot127 = get_note_p_array(a, 127);
    EXPECT_EQ(chunks_of(a), 1);
    EXPECT_EQ(slot127 - slot0, 127);
    note **slot300 = get_note_p_array(a, 300);
    EXPECT_EQ(chunks_of(a), 3);
    EXPECT_EQ(a->next->next->size, 128);
    EXPECT_EQ(slot300, &a->next->next->items[300 - 256]);
    int index = -1;
    EXPECT_EQ(get_note_p_array_node(a, 129, 128, &index), a->next);
    EXPECT_EQ(index, 1);
    truncate_note_p_array(a, 10, 128);
    EXPECT_EQ(chunks_of(a), 1);
    EXPECT_EQ(get_note_p_array(a, 10), slot0 + 10);
    destroy_note_p_array(a);
}

TEST(NotePointerArray, SlotsKeepTheirPointers) {
    note_p_array *a = create_note_p_array(4);
    std::vector<note> notes(10);
    for (int i = 0; i < 10; i++)
        *get_note_p_array(a, i) = &notes[i];
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(*get_note_p_array(a, i), &notes[i]);
    EXPECT_EQ(chunks_of(a), 3);
    note **far = _get_note_p_array(a, 20, 16);
    EXPECT_EQ(chunks_of(a), 4);
    EXPECT_EQ(far, &a->next->next->next->items[8]);
    truncate_note_p_array(a, 30, 16);
    EXPECT_EQ(chunks_of(a), 5);
    destroy_note_p_array(a);
}

struct sent_message {
    std::vector<int> bytes;
};
std::vector<sent_message> sent;

void record(unsigned char *bytes, int count) {
    sent.push_back({std::vector<int>(bytes, bytes + count)});
}

int count_kind(int kind) {
    int n = 0;
    for (const sent_message &m : sent)
        n += (m.bytes[0] & 0xF0) == kind;
    return n;
}

class SoundingSetTest : public ::testing::Test {
  protected:
    measure m;
    void SetUp() override {
        midi_send = record;
        msec = 100;
        init_track_info();
        track_num = 3;
        init_channel_status();
        sent.clear();
        init_measure(&m);
        cur_position_notes = create_note_p_array(CUR_POSITION_CHUNK);
        n_cur_position_notes = 0;
        edit_sound_mode = EDIT_SOUND_TRACK;
        starting_notes_only = 1;
        sn = note{};
    }
    void TearDown() override {
        destroy_measure(&m);
        destroy_note_p_array(cur_position_notes);
        cur_position_notes = nullptr;
        midi_send = midi_out;
    }
    note *add(int x, int len, int pitch, int track) {
        note *n = new_note();
        n->x = x;
        n->len = n->total_len = static_cast<int16_t>(len);
        n->pitch = static_cast<int16_t>(pitch);
        n->track = static_cast<int8_t>(track);
        _insert_sorted_note_list(&m.notes, n, note_comp);
        return n;
    }
    note *slot(int i) { return *get_note_p_array(cur_position_notes, i); }
};

TEST_F(SoundingSetTest, RestsLowNotesAndMutedTracksNeverSound) {
    note *rest = add(0, 192, 0, 0);
    rest->rest = 1;
    note *low = add(0, 192, -60, 0);
    note *lowest_sounding = add(0, 192, -59, 0);
    note *muted = add(0, 192, 4, 2);
    track_info[2].mute = 1;
    EXPECT_EQ(valid_note(nullptr), 0);
    EXPECT_EQ(valid_note(rest), 0);
    EXPECT_EQ(valid_note(low), 0);
    EXPECT_EQ(valid_note(lowest_sounding), 1);
    EXPECT_EQ(valid_note(muted), 0);
    _get_cur_position_notes(&m, nullptr, 0, EDIT_SOUND_ALL);
    ASSERT_EQ(n_cur_position_notes, 1);
    EXPECT_EQ(slot(0), lowest_sounding);
}

TEST_F(SoundingSetTest, StartingNotesOnlyDecidesWhetherAHeldNoteCounts) {
    note *half = add(0, 384, 0, 0);
    EXPECT_EQ(in_x_range(half, 192), 0);
    EXPECT_EQ(in_x_range(half, 0), 1);
    _get_cur_position_notes(&m, nullptr, 192, EDIT_SOUND_ALL);
    EXPECT_EQ(n_cur_position_notes, 0);
    starting_notes_only = 0;
    EXPECT_EQ(in_x_range(half, 192), 1);
    EXPECT_EQ(in_x_range(half, 384), 0);
    _get_cur_position_notes(&m, nullptr, 192, EDIT_SOUND_ALL);
    ASSERT_EQ(n_cur_position_notes, 1);
    EXPECT_EQ(slot(0), half);
}

TEST_F(SoundingSetTest, ModeTwoTakesTheTrackAndModeThreeEveryTrack) {
    note *sel = add(0, 192, 0, 0);
    note *same_track = add(0, 192, 4, 0);
    note *other_track = add(0, 192, 7, 1);
    add(192, 192, 9, 0);
    _get_cur_position_notes(&m, sel, 0, EDIT_SOUND_TRACK);
    ASSERT_EQ(n_cur_position_notes, 2);
    EXPECT_EQ(slot(0), &sn);
    EXPECT_EQ(sn.pitch, 0);
    EXPECT_EQ(slot(1), same_track);
    _get_cur_position_notes(&m, sel, 0, EDIT_SOUND_ALL);
    ASSERT_EQ(n_cur_position_notes, 3);
    EXPECT_EQ(slot(2), other_track);
    _get_cur_position_notes(&m, sel, 0, EDIT_SOUND_SINGLE);
    EXPECT_EQ(n_cur_position_notes, 1);
}

TEST_F(SoundingSetTest, ModeZeroLeavesTheSetAlone) {
    note *sel = add(0, 192, 0, 0);
    _get_cur_position_notes(&m, sel, 0, EDIT_SOUND_SINGLE);
    edit_sound_mode = EDIT_SOUND_NONE;
    add(0, 192, 4, 0);
    get_cur_position_notes(&m, sel);
    EXPECT_EQ(n_cur_position_notes, 1);
    edit_sound_mode = EDIT_SOUND_ALL;
    get_cur_position_notes(&m, sel);
    EXPECT_EQ(n_cur_position_notes, 2);
}

TEST_F(SoundingSetTest, OnAndOffSoundEveryNoteOnceWithItsOwnChannel) {
    note *sel = add(0, 192, 0, 0);
    sel->volume = 90;
    add(0, 192, 4, 1);
    track_info[1].channel = 20;
    _get_cur_position_notes(&m, sel, 0, EDIT_SOUND_ALL);
    edit_sound_on();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes, (std::vector<int>{0x90, 60, 90}));
    EXPECT_EQ(sent[1].bytes[0], 0x94);
    EXPECT_EQ(sent[1].bytes[1], 64);
    edit_sound_off();
    EXPECT_EQ(n_cur_position_notes, 0);
    EXPECT_EQ(count_kind(0x80), 2);
    EXPECT_EQ(channel_status[0][60].count, 0);
    EXPECT_EQ(channel_status[4][64].count, 0);
}

TEST_F(SoundingSetTest, InvalidEditedNoteIsMarkedNotSounding) {
    note *rest = add(0, 192, 0, 0);
    rest->rest = 1;
    _get_cur_position_notes(&m, rest, 0, EDIT_SOUND_SINGLE);
    EXPECT_EQ(n_cur_position_notes, 0);
    EXPECT_EQ(sn.rest, 1u);
    edit_sound_off();
    EXPECT_TRUE(sent.empty());
}

TEST_F(SoundingSetTest, ChangingTrackMovesTheKeyToTheNewChannel) {
    note *n = add(0, 192, 2, 0);
    _get_cur_position_notes(&m, n, 0, EDIT_SOUND_SINGLE);
    edit_sound_on();
    sent.clear();
    n->track = 1;
    update_selected_note(n);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes, (std::vector<int>{0x80, 62, 0}));
    EXPECT_EQ(sent[1].bytes, (std::vector<int>{0x91, 62, default_volume}));
    EXPECT_EQ(n_cur_position_notes, 1);
    edit_sound_off();
    EXPECT_EQ(sent.back().bytes, (std::vector<int>{0x81, 62, 0}));
}

TEST_F(SoundingSetTest, SnapshotComesBackAfterAMutedTrackInItsOwnSlot) {
    track_info[1].mute = 1;
    note *n = add(0, 192, 2, 0);
    _get_cur_position_notes(&m, n, 0, EDIT_SOUND_SINGLE);
    edit_sound_on();
    n->track = 1;
    update_selected_note(n);
    EXPECT_EQ(sn.rest, 1u);
    EXPECT_EQ(n_cur_position_notes, 1);
    EXPECT_EQ(count_kind(0x80), 1);
    n->track = 2;
    update_selected_note(n);
    EXPECT_EQ(n_cur_position_notes, 1);
    EXPECT_EQ(sent.back().bytes, (std::vector<int>{0x92, 62, default_volume}));
    edit_sound_off();
    EXPECT_EQ(sent.back().bytes, (std::vector<int>{0x82, 62, 0}));
    EXPECT_EQ(count_kind(0x80), 2);
    EXPECT_EQ(channel_status[2][62].count, 0);
}

TEST_F(SoundingSetTest, LastNoteIsTheTailOfTheList) {
    EXPECT_EQ(get_last_note(&m), nullptr);
    add(192, 192, 0, 0);
    note *first = add(0, 192, 0, 0);
    EXPECT_NE(get_last_note(&m), first);
    EXPECT_EQ(get_last_note(&m)->x, 192);
}

} // namespace
