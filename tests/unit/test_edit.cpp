// Tests of note entry by screen point, of the drag driven step by step with synthetic pointer
// positions and held keys, and of note deletion, on the global score laid out as the editor
// lays it out.
#include <allegro.h>
#include <gtest/gtest.h>

#include <vector>

#include "base/clock.h"
#include "editor/cursor.h"
#include "editor/edit.h"
#include "editor/history.h"
#include "model/staccato.h"
#include "model/undo.h"
#include "model_core_helpers.h"
#include "playback/sound.h"

namespace {

using model_test::add_note;
using model_test::expect_chains;
using model_test::expect_voices_fill_measure;
using model_test::nth;
using model_test::reset_score;
using model_test::track_layout;

constexpr int ORIGIN_X = 63;
constexpr int ORIGIN_Y = 156;

std::vector<std::vector<int>> sent;
void record(unsigned char *bytes, int count) {
    sent.emplace_back(bytes, bytes + count);
}

const int held_keys[] = {KEY_SPACE, KEY_LSHIFT, KEY_RSHIFT, KEY_LCONTROL, KEY_RCONTROL,
                         KEY_SLASH, KEY_COMMA,  KEY_4,      KEY_COLON,    KEY_QUOTE};

class EditTest : public ::testing::Test {
  protected:
    void SetUp() override { start(1, 1); }
    void start(int tracks, int measures) {
        reset_score(tracks, measures);
        set_coord(&g_score.origin, ORIGIN_X, ORIGIN_Y);
        set_coord(&g_score.limit, 610, 474);
        for (measure *m = g_score.measures.head; m; m = m->next)
            validate_measure(m);
        midi_send = record;
        sent.clear();
        msec = 10000;
        init_channel_status();
        if (!cur_position_notes)
            cur_position_notes = create_note_p_array(CUR_POSITION_CHUNK);
        n_cur_position_notes = 0;
        edit_sound_mode = EDIT_SOUND_TRACK;
        starting_notes_only = 1;
        init_note_length_history();
        dot_mode = 0;
        edited = 0;
        selected_note = nullptr;
        mouse_b = 0;
        release_keys();
    }
    void TearDown() override {
        release_keys();
        destroy_note_p_array(cur_position_notes);
        cur_position_notes = nullptr;
        midi_send = midi_out;
        reset_score(1);
    }
    static void release_keys() {
        for (int k : held_keys)
            key[k] = 0;
    }
    // Screen point of a column of the first measure, a staff position and a track row.
    static int px(int column) { return ORIGIN_X + 30 * column; }
    static int py(int staff_pos, int row = 0) { return ORIGIN_Y + row * 216 - 6 * staff_pos; }
    static note *first_note(measure *m, int track = 0) {
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && n->track == track)
                return n;
        return nullptr;
    }
    static int note_count(measure *m) { return model_test::count_elements(m, false); }
    int count_sent(int kind) {
        int n = 0;
        for (auto &b : sent)
            n += (b[0] & 0xF0) == kind;
        return n;
    }
    static void expect_silent() {
        for (auto &row : channel_status)
            for (channel_status_t &cell : row)
                ASSERT_EQ(cell.count, 0);
        EXPECT_EQ(n_cur_position_notes, 0);
    }
};

TEST_F(EditTest, ClickEntersAQuarterAtTheStaffPosition) {
    edited = 0;
    ASSERT_EQ(screen_insert_note_list(&g_score, px(0), py(2), 0), 1);
    measure *m = nth(0);
    note *n = first_note(m);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->x, 0);
    EXPECT_EQ(n->len, 192);
    EXPECT_EQ(n->pitch, 4);
    EXPECT_EQ(n->pos.y, 2);
    EXPECT_EQ(n->volume, default_volume);
    EXPECT_EQ(track_layout(m, 0), "0:192 r192:576");
    expect_voices_fill_measure(m);
    EXPECT_EQ(edited, 0);
}

TEST_F(EditTest, KeySignatureAppliesToTheClickedStep) {
    set_measure(nth(0), 4, 4, 2); // D major: F is sharp
    screen_insert_note_list(&g_score, px(0), py(3), 0);
    EXPECT_EQ(first_note(nth(0))->pitch, 6);
    EXPECT_EQ(first_note(nth(0))->accidental, 1);
}

TEST_F(EditTest, DotModeDotsOnlyPlainLengths) {
    dot_mode = 1;
    const int cases[][2] = {{192, 288}, {128, 128}, {288, 288}, {96, 144}};
    for (auto &c : cases) {
        start(1, 1);
        dot_mode = 1;
        note_type = c[0];
        screen_insert_note_list(&g_score, px(0), py(0), 0);
        note *n = first_note(nth(0));
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->total_len, c[1]) << "note_type " << c[0];
    }
}

TEST_F(EditTest, HalfNoteAtTheLastQuarterTiesIntoAnAppendedMeasure) {
    add_note(nth(0), 0, 576, 0);
    validate_measure(nth(0));
    note_type = 384;
    ASSERT_EQ(screen_insert_note_list(&g_score, px(1), py(0), 0), 1);
    ASSERT_EQ(g_score.measures.num, 2);
    note *first = first_note(nth(0))->next;
    while (first && first->rest)
        first = first->next;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->x, 576);
    EXPECT_EQ(first->len, 192);
    EXPECT_EQ(first->total_len, 384);
    ASSERT_NE(first->l_next, nullptr);
    EXPECT_EQ(first->l_next->x, 0);
    EXPECT_EQ(first->l_next->len, 192);
    EXPECT_EQ(track_layout(nth(1), 0), "0:192 r192:576");
    expect_chains(&g_score);
    expect_voices_fill_measure(nth(1));
}

TEST_F(EditTest, TiedPieceReplacesTheRestOfAnExistingMeasure) {
    start(1, 2);
    note_type = 384;
    set_coord(&g_score.limit, 610, 474);
    add_note(nth(0), 0, 576, 0);
    validate_measure(nth(0));
    screen_insert_note_list(&g_score, px(1), py(0), 0);
    EXPECT_EQ(g_score.measures.num, 2);
    EXPECT_EQ(track_layout(nth(1), 0), "0:192 r192:576");
    expect_voices_fill_measure(nth(1));
}

TEST_F(EditTest, ClickRightOfTheScoreExtendsIt) {
    ASSERT_EQ(screen_insert_note_list(&g_score, px(5), py(0), 0), 1);
    EXPECT_GE(g_score.measures.num, 3);
    measure *last = g_score.measures.tail;
    EXPECT_NE(first_note(last), nullptr);
    EXPECT_EQ(first_note(nth(0)), nullptr);
}

TEST_F(EditTest, ClickAtTheRightLimitEntersNothing) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(screen_insert_note_list(&g_score, 610, py(0), 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "note insertion failed...\n");
    EXPECT_EQ(g_score.measures.num, 1);
    EXPECT_EQ(note_count(nth(0)), 0);
}

TEST_F(EditTest, SpacePlacesTheNoteOneLengthLater) {
    key[KEY_SPACE] = 1;
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    EXPECT_EQ(first_note(nth(0))->x, 192);
}

TEST_F(EditTest, SpaceOntoAnEqualNoteEntersNothing) {
    add_note(nth(0), 192, 192, 0);
    validate_measure(nth(0));
    key[KEY_SPACE] = 1;
    EXPECT_EQ(screen_insert_note_list(&g_score, px(0), py(0), 0), 1);
    EXPECT_EQ(note_count(nth(0)), 1);
    // Another staff position one length later is free.
    EXPECT_EQ(screen_insert_note_list(&g_score, px(0), py(1), 0), 1);
    EXPECT_EQ(note_count(nth(0)), 2);
}

TEST_F(EditTest, SpaceAtTheEndOfTheMeasureKeepsThePlace) {
    add_note(nth(0), 0, 576, 0);
    validate_measure(nth(0));
    key[KEY_SPACE] = 1;
    screen_insert_note_list(&g_score, px(1), py(2), 0);
    note *n = nth(0)->notes.tail;
    while (n->rest)
        n = n->prev;
    EXPECT_EQ(n->x, 576);
}

TEST_F(EditTest, ClickOnANoteStartsADragInsteadOfAChord) {
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    note *n = first_note(nth(0));
    edit_note_at_pointer(&g_score, px(0), py(0));
    EXPECT_EQ(note_count(nth(0)), 1);
    EXPECT_EQ(selected_note, n);
    EXPECT_EQ(edited, 1);
    edit_note_at_pointer(&g_score, px(0), py(1));
    EXPECT_EQ(note_count(nth(0)), 2);
}

// ---- The drag, step by step ----

class DragTest : public EditTest {
  protected:
    drag_state d;
    note *n = nullptr;
    void pick_up(int column, int staff_pos, int row = 0) {
        note *found = nullptr;
        measure *m = screen_score_find_note(&g_score, px(column), py(staff_pos, row), &found, 1);
        ASSERT_NE(m, nullptr);
        n = found;
        selected_note = n;
        drag_begin(&d, &g_score, m, n);
    }
};

TEST_F(DragTest, StayingInPlaceLeavesTheNoteAndSilence) {
    screen_insert_note_list(&g_score, px(0), py(2), 0);
    std::string before = track_layout(nth(0), 0);
    pick_up(0, 2);
    ASSERT_EQ(drag_step(&d, px(0), py(2)), 1);
    EXPECT_EQ(count_sent(0x90), 1);
    drag_end(&d);
    EXPECT_EQ(track_layout(nth(0), 0), before);
    EXPECT_EQ(n->pitch, 4);
    EXPECT_EQ(selected_note, nullptr);
    expect_silent();
}

TEST_F(DragTest, ShiftAndCtrlSetTheAccidental) {
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    pick_up(0, 0);
    key[KEY_LSHIFT] = 1;
    drag_step(&d, px(0), py(2));
    EXPECT_EQ(n->pitch, 5);
    EXPECT_EQ(n->accidental, 1);
    key[KEY_LSHIFT] = 0;
    key[KEY_RCONTROL] = 1;
    drag_step(&d, px(0), py(2));
    EXPECT_EQ(n->pitch, 3);
    EXPECT_EQ(n->accidental, -1);
    drag_end(&d);
    EXPECT_EQ(n->pitch, 3);
    expect_silent();
}

TEST_F(DragTest, LengthKeyChangesOnlyTheDraggedNote) {
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    pick_up(0, 0);
    key[KEY_4] = 1;
    drag_step(&d, px(0), py(0));
    EXPECT_EQ(n->len, 96);
    EXPECT_EQ(note_type, 96);
    key[KEY_4] = 0;
    drag_end(&d);
    EXPECT_EQ(note_type, 192);
    EXPECT_EQ(track_layout(nth(0), 0), "0:96 r96:96 r192:576");
    screen_insert_note_list(&g_score, px(4), py(0), 0);
    note *later = first_note(g_score.measures.tail);
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(later->len, 192);
}

TEST_F(DragTest, SlashDotsAndCommaUndots) {
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    pick_up(0, 0);
    key[KEY_SLASH] = 1;
    drag_step(&d, px(0), py(0));
    drag_step(&d, px(0), py(0));
    EXPECT_EQ(n->len, 288);
    key[KEY_SLASH] = 0;
    key[KEY_COMMA] = 1;
    drag_step(&d, px(0), py(0));
    EXPECT_EQ(n->len, 192);
    drag_end(&d);
}

TEST_F(DragTest, HistoryBackDuringADragIsUndoneAfterIt) {
    push_note_length(96);
    note_type = 96;
    int cur = note_length_queue_header.cur;
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    pick_up(0, 0);
    get_time2(&note_length_queue_timer, 1);
    msec += 141;
    key[KEY_COLON] = 1;
    drag_step(&d, px(0), py(0));
    EXPECT_EQ(n->len, 192);
    EXPECT_EQ(note_type, 192);
    key[KEY_COLON] = 0;
    drag_end(&d);
    EXPECT_EQ(note_type, 96);
    EXPECT_EQ(note_length_queue_header.cur, cur);
}

TEST_F(DragTest, MovingToAnotherTrackMovesTheSound) {
    start(2, 1);
    g_score.tracks[1].channel = 5;
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    pick_up(0, 0);
    drag_step(&d, px(0), py(0));
    ASSERT_EQ(sent.back(), (std::vector<int>{0x90, 60, default_volume}));
    drag_step(&d, px(0), py(0, 1));
    EXPECT_EQ(n->track, 1);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], (std::vector<int>{0x80, 60, 0}));
    EXPECT_EQ(sent.back(), (std::vector<int>{0x95, 60, default_volume}));
    drag_end(&d);
    EXPECT_EQ(first_note(nth(0), 0), nullptr);
    EXPECT_EQ(first_note(nth(0), 1), n);
    EXPECT_EQ(track_layout(nth(0), 0), "r0:768");
    expect_voices_fill_measure(nth(0));
    expect_silent();
}

TEST_F(DragTest, DraggingATiedNoteJoinsAndSplitsItAgain) {
    start(1, 3);
    note_type = 384;
    add_note(nth(0), 0, 576, 2);
    validate_measure(nth(0));
    screen_insert_note_list(&g_score, px(1), py(0), 0);
    ASSERT_NE(nth(1)->notes.head, nullptr);
    pick_up(1, 0);
    EXPECT_EQ(n->len, 384);
    EXPECT_EQ(d.reach, 1);
    drag_step(&d, px(1), py(1));
    drag_end(&d);
    expect_chains(&g_score);
    EXPECT_EQ(n->pitch, 2);
    ASSERT_NE(n->l_next, nullptr);
    EXPECT_EQ(n->l_next->pitch, 2);
    EXPECT_EQ(track_layout(nth(1), 0), "0:192 r192:576");
    expect_voices_fill_measure(nth(1));
}

TEST_F(DragTest, PointerOffTheScoreEndsTheDrag) {
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    pick_up(0, 0);
    EXPECT_EQ(drag_step(&d, 620, py(0)), 0);
    drag_end(&d);
    EXPECT_EQ(n->x, 0);
    expect_voices_fill_measure(nth(0));
}

// ---- Deleting ----

TEST_F(EditTest, DeletingATiedNoteRemovesEveryPiece) {
    start(1, 2);
    note_type = 384;
    add_note(nth(0), 0, 576, 2);
    validate_measure(nth(0));
    screen_insert_note_list(&g_score, px(1), py(0), 0);
    set_coord(&cursor, px(1), py(0));
    menu_delete_note();
    EXPECT_EQ(edited, 1);
    EXPECT_EQ(track_layout(nth(0), 0), "0:576 r576:192");
    // The measure that held the tied piece is laid out again as well.
    EXPECT_EQ(track_layout(nth(1), 0), "r0:768");
    expect_voices_fill_measure(nth(1));
}

TEST_F(EditTest, DelOnAContinuationPieceDeletesNothing) {
    note_type = 384;
    add_note(nth(0), 0, 576, 2);
    validate_measure(nth(0));
    screen_insert_note_list(&g_score, px(1), py(0), 0);
    // The continuation starts the second measure, right of the first one's two columns.
    int x = ORIGIN_X + nth(0)->width;
    EXPECT_EQ(delete_note(&g_score, x, py(0)), 0);
    set_coord(&cursor, x, py(0));
    menu_delete_note();
    EXPECT_EQ(edited, 0);
    EXPECT_EQ(note_count(nth(1)), 1);
}

TEST_F(EditTest, DeletingTheSelectedNoteForgetsIt) {
    screen_insert_note_list(&g_score, px(0), py(0), 0);
    selected_note = first_note(nth(0));
    EXPECT_EQ(delete_note(&g_score, px(0), py(0)), 1);
    EXPECT_EQ(selected_note, nullptr);
    EXPECT_EQ(track_layout(nth(0), 0), "r0:768");
}

// ---- The staccato mark ----

TEST_F(EditTest, StaccatoKeySetsAndClearsTheMarkAsOneUndoStepEach) {
    undo_reset();
    screen_insert_note_list(&g_score, px(0), py(2), 0);
    EXPECT_EQ(first_note(nth(0))->staccato, 0u) << "a new note has no mark";
    set_coord(&cursor, px(0), py(2));
    menu_staccato();
    EXPECT_EQ(edited, 1);
    EXPECT_EQ(first_note(nth(0))->staccato, 1u);
    EXPECT_STREQ(undo_name(), "staccato");
    EXPECT_EQ(toggle_staccato(&g_score, px(0), py(2)), 1);
    EXPECT_EQ(first_note(nth(0))->staccato, 0u);
    ASSERT_EQ(undo(&g_score), 1);
    EXPECT_EQ(first_note(nth(0))->staccato, 1u);
    ASSERT_EQ(undo(&g_score), 1);
    EXPECT_EQ(first_note(nth(0))->staccato, 0u);
    EXPECT_EQ(toggle_staccato(&g_score, px(1), py(-4)), 0) << "no note and no selection there";
    undo_reset();
}

TEST_F(EditTest, StaccatoOnAContinuationPieceMarksTheWholeChain) {
    undo_reset();
    note_type = 384;
    add_note(nth(0), 0, 576, 2);
    validate_measure(nth(0));
    screen_insert_note_list(&g_score, px(1), py(0), 0);
    ASSERT_EQ(toggle_staccato(&g_score, ORIGIN_X + nth(0)->width, py(0)), 1);
    note *tail = first_note(nth(1));
    ASSERT_NE(tail->l_prev, nullptr);
    EXPECT_EQ(tail->staccato, 1u);
    EXPECT_EQ(tail->l_prev->staccato, 1u);
    EXPECT_EQ(first_note(nth(0))->staccato, 0u) << "the other note keeps none";
    ASSERT_EQ(undo(&g_score), 1);
    EXPECT_EQ(first_note(nth(1))->staccato, 0u);
    EXPECT_EQ(first_note(nth(1))->l_prev->staccato, 0u);
    expect_chains(&g_score);
    undo_reset();
}

TEST_F(EditTest, StaccatoWithoutANoteAtThePointerSwitchesTheSelection) {
    undo_reset();
    note_type = 192;
    screen_insert_note_list(&g_score, px(0), py(2), 0);
    screen_insert_note_list(&g_score, px(1), py(4), 0);
    set_chain_staccato(first_note(nth(0)), 1);
    g_score.select_start = g_score.select_end = nth(0);
    g_score.select_start_x = 0;
    g_score.select_end_x = 384;
    auto marks = [] {
        std::vector<int> out;
        for (note *n = nth(0)->notes.head; n; n = n->next)
            if (!n->rest)
                out.push_back(n->staccato);
        return out;
    };
    EXPECT_EQ(toggle_staccato(&g_score, px(3), py(-4)), 1);
    EXPECT_EQ(marks(), (std::vector<int>{1, 1})) << "one unmarked: all get the mark";
    EXPECT_EQ(toggle_staccato(&g_score, px(3), py(-4)), 1);
    EXPECT_EQ(marks(), (std::vector<int>{0, 0})) << "all marked: all lose it";
    ASSERT_EQ(undo(&g_score), 1);
    EXPECT_EQ(marks(), (std::vector<int>{1, 1}));
    undo_reset();
}

} // namespace
