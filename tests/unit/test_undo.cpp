// The undo history beyond the random edit sequences: step names for the menu, the saved mark
// that follows undo and redo, the track table and default tempo, the depth kept, edits that
// change nothing, and the score's measure pointers after a stretch was replaced.
#include <gtest/gtest.h>

#include <cstring>

#include "invariants.h"
#include "model/undo.h"

namespace {

class UndoTest : public ::testing::Test {
  protected:
    score s;
    void SetUp() override {
        track_num = 1;
        init_track_info();
        init_score(&s);
        measure *last = nullptr;
        for (int i = 0; i < 3; i++) {
            last = _insert_measure_list(&s.measures, last, new_measure());
            validate_measure(last);
        }
        s.ref_measure = s.cursor_measure = s.measures.tail;
        undo_reset();
    }
    void TearDown() override {
        undo_reset();
        destroy_score(&s);
        track_num = 1;
        init_track_info();
    }
    // Enters a quarter at x of measure i as the step name.
    void enter(const char *name, int i, int x) {
        measure *m = get_measure_by_pos(&s, i);
        undo_begin(&s, name);
        undo_touch_ticks(&s, m, x, TICKS_PER_QUARTER);
        note *n = new_note();
        n->x = x;
        n->pitch = static_cast<int16_t>(x / 48);
        get_note_pos_y(m, n);
        _insert_sorted_note_list(&m->notes, n, note_comp);
        _note_expand_by_measure(&s, m, n, 1);
        undo_commit(&s, 1);
    }
    int notes() {
        int count = 0;
        for (measure *m = s.measures.head; m; m = m->next)
            for (note *n = m->notes.head; n; n = n->next)
                count += !n->rest;
        return count;
    }
};

TEST_F(UndoTest, NamesSavedMarkAndCounts) {
    struct {
        int (*action)(score *);
        const char *undo_name, *redo_name;
        int notes, at_saved;
    } rows[] = {
        {undo, "enter a", "enter b", 1, 1}, {undo, nullptr, "enter a", 0, 0},
        {undo, nullptr, "enter a", 0, 0},   {redo, "enter a", "enter b", 1, 1},
        {redo, "enter b", nullptr, 2, 0},   {redo, "enter b", nullptr, 2, 0},
    };
    enter("enter a", 0, 0);
    undo_mark_saved();
    enter("enter b", 1, 192);
    EXPECT_FALSE(undo_at_saved());
    for (const auto &r : rows) {
        r.action(&s);
        ASSERT_TRUE(score_invariants(&s));
        EXPECT_STREQ(undo_name(), r.undo_name);
        EXPECT_STREQ(redo_name(), r.redo_name);
        EXPECT_EQ(notes(), r.notes);
        EXPECT_EQ(undo_at_saved(), r.at_saved);
    }
}

TEST_F(UndoTest, NewStepDropsRedoAndTheSavedStateBeyondIt) {
    enter("enter a", 0, 0);
    undo_mark_saved();
    undo(&s);
    enter("enter b", 0, 192);
    EXPECT_EQ(redo_name(), nullptr);
    EXPECT_FALSE(undo_at_saved());
    undo(&s);
    EXPECT_FALSE(undo_at_saved()); // the saved state is gone for good
}

TEST_F(UndoTest, KeepsTheDepthAndDropsTheOldest) {
    const int extra = 10;
    for (int i = 0; i < UNDO_DEPTH + extra; i++)
        enter("enter", i % 3, (i % 4) * TICKS_PER_QUARTER);
    EXPECT_EQ(undo_steps(), UNDO_DEPTH);
    while (undo(&s))
        ASSERT_TRUE(score_invariants(&s));
    EXPECT_EQ(notes(), extra); // the dropped steps are not taken back
}

TEST_F(UndoTest, AnEditThatChangesNothingIsNoStep) {
    undo_begin(&s, "nothing");
    undo_touch(&s, s.measures.head, nullptr);
    validate_measure(s.measures.head);
    undo_commit(&s, 1);
    EXPECT_EQ(undo_steps(), 0);
}

TEST_F(UndoTest, TrackTableComesBack) {
    track_info[0].patch = 5;
    default_tempo = 120;
    undo_begin(&s, "track setting");
    undo_touch(&s, s.measures.head, nullptr);
    track_num = 2;
    default_tempo = 90;
    track_info[0].patch = 40;
    track_info[1].active = 0;
    for (measure *m = s.measures.head; m; m = m->next)
        validate_measure(m); // the new track gets its rests, as the track dialog gives them
    undo_commit(&s, 1);
    undo(&s);
    EXPECT_EQ(track_num, 1);
    EXPECT_EQ(track_info[0].patch, 5);
    EXPECT_EQ(track_info[1].active, 1u);
    EXPECT_EQ(default_tempo, 120);
    redo(&s);
    EXPECT_EQ(default_tempo, 90);
    EXPECT_EQ(track_num, 2);
    EXPECT_EQ(track_info[0].patch, 40);
    default_tempo = 120;
}

// A note that runs past the last bar line appends measures; undo takes them away again and
// moves the cursor and the first shown measure, which were in the replaced stretch.
TEST_F(UndoTest, AppendedMeasuresGoAndPointersFollow) {
    measure *last = s.measures.tail;
    undo_begin(&s, "enter");
    undo_touch_ticks(&s, last, 576, 2 * TICKS_PER_WHOLE);
    note *n = new_note();
    n->x = 576;
    n->len = n->total_len = 2 * TICKS_PER_WHOLE;
    get_note_pos_y(last, n);
    _insert_sorted_note_list(&last->notes, n, note_comp);
    _note_expand_by_measure(&s, last, n, 1);
    undo_commit(&s, 1);
    ASSERT_EQ(s.measures.num, 5);
    s.select_start = s.select_end = s.measures.tail;
    undo(&s);
    EXPECT_EQ(s.measures.num, 3);
    EXPECT_EQ(undo_changed_measure(), 2);
    EXPECT_EQ(s.cursor_measure, s.measures.tail);
    EXPECT_EQ(s.ref_measure, s.measures.tail);
    EXPECT_EQ(s.select_start, s.measures.tail);
    EXPECT_EQ(s.ref_x, 3);
    EXPECT_EQ(notes(), 0);
    redo(&s);
    EXPECT_EQ(s.measures.num, 5);
    EXPECT_TRUE(score_invariants(&s));
}

} // namespace
