// Tests of the selection: ordering of two positions, setting start and end from the cursor,
// the class of each measure, selected positions, the length and the walk over selected
// elements.
#include <gtest/gtest.h>

#include <vector>

#include "model/selection.h"

namespace {

constexpr int N_MEASURES = 5;

class SelectionTest : public ::testing::Test {
  protected:
    score s;
    measure *m[N_MEASURES];

    void SetUp() override {
        init_track_info(&g_score);
        g_score.track_num = 2;
        init_score(&s);
        measure *last = nullptr;
        for (int i = 0; i < N_MEASURES; i++)
            last = m[i] = insert_measure(&s, last, new_measure());
        set_measure(m[1], 3, 4, 0); // 576 ticks
        set_measure(m[3], 7, 8, 0); // 672 ticks
    }
    void TearDown() override {
        destroy_score(&s);
        g_score.track_num = 1;
        init_track_info(&g_score);
    }

    void select(int start, int start_x, int end, int end_x) {
        s.select_start = start < 0 ? nullptr : m[start];
        s.select_start_x = start_x;
        s.select_end = end < 0 ? nullptr : m[end];
        s.select_end_x = end_x;
    }
    void put_cursor(int i, int x) {
        s.cursor_measure = m[i];
        s.cursor_x = x;
    }
    note *add(int i, int x, int track, int is_rest = 0) {
        note *n = new_note();
        n->x = x;
        n->track = static_cast<int8_t>(track);
        n->rest = is_rest;
        return _insert_sorted_note_list(&m[i]->notes, n, note_comp);
    }
};

TEST_F(SelectionTest, WellOrderedNeedsBothMeasures) {
    EXPECT_EQ(well_ordered(nullptr, 0, m[0], 0), 0);
    EXPECT_EQ(well_ordered(m[0], 0, nullptr, 0), 0);
    EXPECT_EQ(well_ordered(nullptr, 0, nullptr, 0), 0);
}

TEST_F(SelectionTest, WellOrderedInOneMeasureComparesPositions) {
    EXPECT_EQ(well_ordered(m[2], 96, m[2], 96), 1);
    EXPECT_EQ(well_ordered(m[2], 96, m[2], 192), 1);
    EXPECT_EQ(well_ordered(m[2], 192, m[2], 96), 0);
}

TEST_F(SelectionTest, WellOrderedAcrossMeasuresFollowsNext) {
    EXPECT_EQ(well_ordered(m[0], 700, m[1], 0), 1);
    EXPECT_EQ(well_ordered(m[0], 0, m[4], 0), 1);
    EXPECT_EQ(well_ordered(m[3], 0, m[1], 500), 0);
    EXPECT_EQ(well_ordered(m[4], 0, m[0], 0), 0);
}

TEST_F(SelectionTest, WellOrderedRejectsMeasureOfAnotherScore) {
    measure other;
    init_measure(&other);
    EXPECT_EQ(well_ordered(m[0], 0, &other, 0), 0);
    EXPECT_EQ(well_ordered(&other, 0, m[0], 0), 0);
}

TEST_F(SelectionTest, FreshScoreHasNoSelection) {
    EXPECT_EQ(valid_selection(&s), 0);
    for (measure *cur : m)
        EXPECT_EQ(is_selected_measure(&s, cur), SELECT_OUTSIDE);
    EXPECT_EQ(get_seletion_length(&s), 0);
}

TEST_F(SelectionTest, SetSelectWithoutCursorFails) {
    EXPECT_EQ(set_select_start(&s), 0);
    EXPECT_EQ(set_select_end(&s), 0);
    EXPECT_EQ(s.select_start, nullptr);
    EXPECT_EQ(s.select_end, nullptr);
}

TEST_F(SelectionTest, SetSelectEndFirstGivesEmptyValidSelection) {
    put_cursor(2, 192);
    EXPECT_EQ(set_select_end(&s), 1);
    EXPECT_EQ(s.select_start, m[2]);
    EXPECT_EQ(s.select_start_x, 192);
    EXPECT_EQ(s.select_end, m[2]);
    EXPECT_EQ(s.select_end_x, 192);
    EXPECT_EQ(valid_selection(&s), 1);
    EXPECT_EQ(get_seletion_length(&s), 0);
    EXPECT_EQ(is_selected_measure(&s, m[2]), SELECT_START_END);
}

TEST_F(SelectionTest, SetSelectStartFirstGivesEmptyValidSelection) {
    put_cursor(1, 96);
    EXPECT_EQ(set_select_start(&s), 1);
    EXPECT_EQ(s.select_end, m[1]);
    EXPECT_EQ(s.select_end_x, 96);
    EXPECT_EQ(valid_selection(&s), 1);
}

TEST_F(SelectionTest, StartThenLaterEndKeepsStart) {
    put_cursor(1, 96);
    set_select_start(&s);
    put_cursor(3, 48);
    set_select_end(&s);
    EXPECT_EQ(s.select_start, m[1]);
    EXPECT_EQ(s.select_start_x, 96);
    EXPECT_EQ(s.select_end, m[3]);
    EXPECT_EQ(s.select_end_x, 48);
    // 576 - 96 of m[1], 768 of m[2], 48 of m[3].
    EXPECT_EQ(get_seletion_length(&s), 480 + 768 + 48);
}

TEST_F(SelectionTest, StartAfterEndDragsEndAlong) {
    select(1, 0, 2, 0);
    put_cursor(3, 100);
    set_select_start(&s);
    EXPECT_EQ(s.select_end, m[3]);
    EXPECT_EQ(s.select_end_x, 100);
    select(1, 0, 2, 300);
    put_cursor(2, 200); // still before the end: the end stays
    set_select_start(&s);
    EXPECT_EQ(s.select_end_x, 300);
}

TEST_F(SelectionTest, EndBeforeStartDragsStartAlong) {
    select(2, 300, 4, 0);
    put_cursor(2, 100);
    set_select_end(&s);
    EXPECT_EQ(s.select_start, m[2]);
    EXPECT_EQ(s.select_start_x, 100);
    select(2, 300, 4, 0);
    put_cursor(0, 10);
    set_select_end(&s);
    EXPECT_EQ(s.select_start, m[0]);
    EXPECT_EQ(s.select_start_x, 10);
}

TEST_F(SelectionTest, MeasureClasses) {
    select(1, 96, 3, 192);
    EXPECT_EQ(is_selected_measure(&s, m[0]), SELECT_OUTSIDE);
    EXPECT_EQ(is_selected_measure(&s, m[1]), SELECT_START);
    EXPECT_EQ(is_selected_measure(&s, m[2]), SELECT_INSIDE);
    EXPECT_EQ(is_selected_measure(&s, m[3]), SELECT_END);
    EXPECT_EQ(is_selected_measure(&s, m[4]), SELECT_OUTSIDE);
    EXPECT_EQ(is_selected_measure(&s, nullptr), SELECT_OUTSIDE);
}

TEST_F(SelectionTest, OneMeasureSelectionIsClassFour) {
    select(2, 0, 2, 768);
    EXPECT_EQ(is_selected_measure(&s, m[2]), SELECT_START_END);
    EXPECT_EQ(is_selected_measure(&s, m[1]), SELECT_OUTSIDE);
    EXPECT_EQ(is_selected_measure(&s, m[3]), SELECT_OUTSIDE);
}

TEST_F(SelectionTest, ReversedSelectionSelectsNothing) {
    select(3, 0, 1, 0);
    EXPECT_EQ(valid_selection(&s), 0);
    for (measure *cur : m)
        EXPECT_EQ(is_selected_measure(&s, cur), SELECT_OUTSIDE);
    add(1, 0, 0);
    add(2, 0, 0);
    add(3, 0, 0);
    int calls = 0;
    EXPECT_EQ(foreach_selection(
                  &s, [](measure *, note *, void *d) { ++*static_cast<int *>(d); }, &calls),
              0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(get_seletion_length(&s), 0);
}

TEST_F(SelectionTest, ReversedInsideOneMeasureIsInvalid) {
    select(2, 300, 2, 100);
    EXPECT_EQ(valid_selection(&s), 0);
    EXPECT_EQ(is_selected_measure(&s, m[2]), SELECT_OUTSIDE);
    EXPECT_EQ(get_seletion_length(&s), 0);
}

TEST_F(SelectionTest, HalfSetSelectionIsInvalid) {
    select(1, 0, -1, 0);
    EXPECT_EQ(valid_selection(&s), 0);
    EXPECT_EQ(get_seletion_length(&s), 0);
    EXPECT_EQ(is_selected_measure(&s, m[1]), SELECT_OUTSIDE);
}

TEST_F(SelectionTest, SelectedPositionsByClass) {
    select(1, 96, 3, 192);
    EXPECT_EQ(is_selected_note(&s, SELECT_OUTSIDE, 100), 0);
    EXPECT_EQ(is_selected_note(&s, SELECT_INSIDE, 0), 1);
    EXPECT_EQ(is_selected_note(&s, SELECT_INSIDE, 10000), 1);
    EXPECT_EQ(is_selected_note(&s, SELECT_START, 95), 0);
    EXPECT_EQ(is_selected_note(&s, SELECT_START, 96), 1);
    EXPECT_EQ(is_selected_note(&s, SELECT_START, 500), 1);
    EXPECT_EQ(is_selected_note(&s, SELECT_END, 191), 1);
    EXPECT_EQ(is_selected_note(&s, SELECT_END, 192), 0);
    EXPECT_EQ(is_selected_note(&s, SELECT_END, 0), 1);
}

TEST_F(SelectionTest, ClassFourExcludesTheEndPosition) {
    select(2, 96, 2, 288);
    EXPECT_EQ(is_selected_note(&s, SELECT_START_END, 95), 0);
    EXPECT_EQ(is_selected_note(&s, SELECT_START_END, 96), 1);
    EXPECT_EQ(is_selected_note(&s, SELECT_START_END, 287), 1);
    EXPECT_EQ(is_selected_note(&s, SELECT_START_END, 288), 0);
}

TEST_F(SelectionTest, LengthSumsWholeMeasuresBetween) {
    select(0, 0, 4, 0); // 768 + 576 + 768 + 672
    EXPECT_EQ(get_seletion_length(&s), 2784);
    select(0, 192, 1, 96);
    EXPECT_EQ(get_seletion_length(&s), 768 + 96 - 192);
    select(3, 100, 3, 400);
    EXPECT_EQ(get_seletion_length(&s), 300);
}

struct Visit {
    measure *m;
    note *n;
};

void record(measure *m, note *n, void *data) {
    static_cast<std::vector<Visit> *>(data)->push_back({m, n});
}

TEST_F(SelectionTest, ForeachVisitsSelectedElementsInOrder) {
    add(1, 0, 0);
    note *a = add(1, 96, 0);
    note *rest = add(1, 192, 1, 1);
    note *b = add(2, 0, 1);
    note *c = add(3, 191, 0);
    add(3, 192, 0);
    add(4, 0, 0);
    select(1, 96, 3, 192);
    std::vector<Visit> seen;
    EXPECT_EQ(foreach_selection(&s, record, &seen), 4);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].n, a);
    EXPECT_EQ(seen[0].m, m[1]);
    EXPECT_EQ(seen[1].n, rest);
    EXPECT_EQ(seen[2].n, b);
    EXPECT_EQ(seen[2].m, m[2]);
    EXPECT_EQ(seen[3].n, c);
    EXPECT_EQ(seen[3].m, m[3]);
}

TEST_F(SelectionTest, ForeachSkipsInactiveTracks) {
    add(2, 0, 0);
    note *kept = add(2, 96, 1);
    g_score.tracks[0].active = 0;
    select(2, 0, 2, 768);
    std::vector<Visit> seen;
    EXPECT_EQ(foreach_selection(&s, record, &seen), 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].n, kept);
}

TEST_F(SelectionTest, ForeachOnEmptySelectionVisitsNothing) {
    add(2, 192, 0);
    select(2, 192, 2, 192);
    std::vector<Visit> seen;
    EXPECT_EQ(foreach_selection(&s, record, &seen), 0);
}

TEST_F(SelectionTest, ForeachCallbackMayDeleteItsElement) {
    for (int x = 0; x < 768; x += 96)
        add(0, x, 0);
    add(1, 0, 0);
    select(0, 192, 1, 0);
    struct Ctx {
        int deleted;
    } ctx{0};
    auto erase = [](measure *mm, note *n, void *d) {
        _delete_note_list(&mm->notes, n, nullptr);
        static_cast<Ctx *>(d)->deleted++;
    };
    EXPECT_EQ(foreach_selection(&s, erase, &ctx), 6);
    EXPECT_EQ(ctx.deleted, 6);
    EXPECT_EQ(m[0]->notes.num, 2);
    EXPECT_EQ(m[0]->notes.tail->x, 96);
    EXPECT_EQ(m[1]->notes.num, 1);
}

} // namespace
