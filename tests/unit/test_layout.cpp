// Note layout: rounding division, tracks under a screen row, measures, columns and staff
// positions under a screen point (appending measures to the right), finding notes, the
// score cursor, note head positions and the column/tick conversions.
#include "model_core_helpers.h"

namespace {

using namespace model_test;

constexpr int ORIGIN_X = 100;
constexpr int ORIGIN_Y = 150;
constexpr int LIMIT_X = 1000;

class Layout : public ::testing::Test {
  protected:
    void SetUp() override { setup(1, 1); }
    void TearDown() override { release_score(); }
    void setup(int tracks, int measures) {
        reset_score(tracks, measures);
        set_coord(&g_score.origin, ORIGIN_X, ORIGIN_Y);
        set_coord(&g_score.limit, LIMIT_X, 480);
        for (measure *m = g_score.measures.head; m; m = m->next)
            validate_measure(m);
    }
    // Screen x of the left edge of column c of the first measure.
    static int column_x(int c) { return ORIGIN_X + 30 * c; }
    // Screen y of staff position p in the row of rank r.
    static int row_y(int p, int r = 0) { return ORIGIN_Y + r * track_height - 6 * p; }
};

TEST(Div, RoundsHalvesUp) {
    EXPECT_EQ(_div(15, 30), 1);
    EXPECT_EQ(_div(14, 30), 0);
    EXPECT_EQ(_div(-16, 30), -1);
    EXPECT_EQ(_div(-15, 30), 0);
    EXPECT_EQ(_div(45, 30), 2);
    EXPECT_EQ(_div(0, 6), 0);
    EXPECT_EQ(_div(-3, 6), 0);
    EXPECT_EQ(_div(-4, 6), -1);
}

TEST_F(Layout, TrackBandsFollowTheShownTracks) {
    setup(3, 1);
    g_score.tracks[1].active = 0;
    update_active_tracks();
    EXPECT_EQ(get_track(&g_score, ORIGIN_Y), 0);
    EXPECT_EQ(get_track(&g_score, ORIGIN_Y + 107), 0);
    EXPECT_EQ(get_track(&g_score, ORIGIN_Y + 108), 2);
    EXPECT_EQ(get_track(&g_score, ORIGIN_Y + 5000), 2);
    offset_y = 216;
    EXPECT_EQ(get_track(&g_score, ORIGIN_Y), 2);
}

TEST_F(Layout, NoShownTrackMeansNoHitAndNoNewMeasure) {
    g_score.tracks[0].active = 0;
    update_active_tracks();
    ASSERT_EQ(n_active_track, 0);
    EXPECT_EQ(get_track(&g_score, ORIGIN_Y), -1);
    int column = -7, row = -7, track = -7;
    EXPECT_EQ(screen_score(&g_score, LIMIT_X - 1, ORIGIN_Y, &column, &row, &track), nullptr);
    EXPECT_EQ(column, -7);
    EXPECT_EQ(track, -7);
    EXPECT_EQ(g_score.measures.num, 1);
    note *found = nullptr;
    EXPECT_EQ(screen_score_find_note(&g_score, ORIGIN_X, ORIGIN_Y, &found, 0), nullptr);
    EXPECT_EQ(set_cursor(&g_score, ORIGIN_X, ORIGIN_Y), 0);
}

TEST_F(Layout, PointMapsToColumnStaffPositionAndTrack) {
    setup(2, 2);
    add_note(nth(0), 192, 192, 4);
    validate_measure(nth(0)); // columns 0, 192, 384: width 90
    int column = 0, row = 0, track = 0;
    measure *m = screen_score(&g_score, column_x(1) + 3, row_y(4) + 2, &column, &row, &track);
    EXPECT_EQ(m, nth(0));
    EXPECT_EQ(column, 1);
    EXPECT_EQ(row, 4);
    EXPECT_EQ(track, 0);
    m = screen_score(&g_score, column_x(2), row_y(-3, 1), &column, &row, &track);
    EXPECT_EQ(m, nth(0));
    EXPECT_EQ(column, 2);
    EXPECT_EQ(row, -3);
    EXPECT_EQ(track, 1);
}

TEST_F(Layout, LastHalfColumnBelongsToTheNextMeasure) {
    setup(1, 2);
    add_note(nth(0), 192, 192, 4);
    validate_measure(nth(0));
    int bar = ORIGIN_X + nth(0)->width; // the boundary between the two measures
    int column = 0, row = 0, track = 0;
    EXPECT_EQ(screen_score(&g_score, bar - 16, ORIGIN_Y, &column, &row, &track), nth(0));
    EXPECT_EQ(column, 2);
    EXPECT_EQ(screen_score(&g_score, bar - 15, ORIGIN_Y, &column, &row, &track), nth(1));
    EXPECT_EQ(column, 0);
}

TEST_F(Layout, LeftOfTheScoreClampsAndBeyondTheLimitMisses) {
    int column = -1, row = 0, track = 0;
    EXPECT_EQ(screen_score(&g_score, 0, ORIGIN_Y, &column, &row, &track), nth(0));
    EXPECT_EQ(column, 0);
    EXPECT_EQ(screen_score(&g_score, LIMIT_X, ORIGIN_Y, &column, &row, &track), nullptr);
    EXPECT_EQ(g_score.measures.num, 1);
}

TEST_F(Layout, PointingRightOfTheScoreAppendsValidatedMeasures) {
    set_measure(nth(0), 3, 4, -2);
    int column = 0, row = 0, track = 0;
    measure *m = screen_score(&g_score, ORIGIN_X + 30 * 3 + 2, ORIGIN_Y, &column, &row, &track);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(g_score.measures.num, 4);
    EXPECT_EQ(m, nth(3));
    EXPECT_EQ(column, 0);
    for (measure *a = nth(1); a; a = a->next) {
        EXPECT_EQ(a->num, 3);
        EXPECT_EQ(a->key, -2);
        EXPECT_EQ(track_layout(a, 0), "r0:576");
    }
}

TEST_F(Layout, KeyChangeReservesRoomBeforeTheMeasure) {
    setup(1, 2);
    nth(1)->key = 3;
    int column = 0, row = 0, track = 0;
    // Measure 0 is 30 wide; measure 1 starts 48 pixels later, at 78.
    EXPECT_EQ(screen_score(&g_score, ORIGIN_X + 20, ORIGIN_Y, &column, &row, &track), nth(1));
    EXPECT_EQ(column, 0);
    EXPECT_EQ(screen_score(&g_score, ORIGIN_X + 78 + 14, ORIGIN_Y, &column, &row, &track), nth(1));
    EXPECT_EQ(g_score.measures.num, 2);
    measure *appended = screen_score(&g_score, ORIGIN_X + 78 + 15, ORIGIN_Y, &column, &row, &track);
    EXPECT_EQ(g_score.measures.num, 3);
    EXPECT_EQ(appended, nth(2));
}

TEST_F(Layout, ScrolledColumnsAreAddedBack) {
    add_note(nth(0), 192, 192, 4);
    validate_measure(nth(0));
    offset_x = 192;
    int column = 0, row = 0, track = 0;
    EXPECT_EQ(screen_score(&g_score, ORIGIN_X, ORIGIN_Y, &column, &row, &track), nth(0));
    EXPECT_EQ(column, 1);
}

TEST_F(Layout, FindsTheNoteUnderThePoint) {
    setup(2, 2);
    note *n = add_note(nth(0), 384, 768, 4, 0);
    add_note(nth(0), 384, 192, 4, 1);
    _note_expand_by_measure(&g_score, nth(0), n, 1);
    note *found = nullptr;
    measure *m = screen_score_find_note(&g_score, column_x(1), row_y(2), &found, 1);
    EXPECT_EQ(m, nth(0));
    EXPECT_EQ(found, n);
    // The continuation in measure 1 is found only when continuations count.
    int second = ORIGIN_X + nth(0)->width;
    EXPECT_EQ(screen_score_find_note(&g_score, second, row_y(2), &found, 1), nullptr);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(screen_score_find_note(&g_score, second, row_y(2), &found, 0), nth(1));
    EXPECT_EQ(found, n->l_next);
    // A rest at the point is no note; nothing is found at another staff position.
    EXPECT_EQ(screen_score_find_note(&g_score, column_x(0), row_y(2), &found, 0), nullptr);
    EXPECT_EQ(screen_score_find_note(&g_score, column_x(1), row_y(3), &found, 0), nullptr);
}

TEST_F(Layout, FindingNeverAppendsMeasures) {
    note *found = nullptr;
    EXPECT_EQ(screen_score_find_note(&g_score, LIMIT_X - 1, ORIGIN_Y, &found, 0), nullptr);
    EXPECT_EQ(g_score.measures.num, 1);
}

TEST_F(Layout, CursorGoesToTheTickOfTheColumn) {
    add_note(nth(0), 192, 192, 4);
    validate_measure(nth(0));
    EXPECT_EQ(set_cursor(&g_score, column_x(2), ORIGIN_Y), 1);
    EXPECT_EQ(g_score.cursor_measure, nth(0));
    EXPECT_EQ(g_score.cursor_x, 384);
    EXPECT_EQ(set_cursor(&g_score, LIMIT_X + 5, ORIGIN_Y), 0);
}

TEST_F(Layout, NoteHeadPosition) {
    note *n = add_note(nth(0), 192, 192, 4);
    validate_measure(nth(0));
    get_note_display(&g_score, nth(0), 60, n);
    EXPECT_EQ(n->display.x, 60 + ORIGIN_X + 30);
    EXPECT_EQ(n->display.y, ORIGIN_Y - 6 * 2);
}

TEST_F(Layout, ColumnTickConversions) {
    setup(2, 1);
    measure *m = nth(0);
    add_note(m, 96, 96, 0, 0);
    add_note(m, 192, 576, 0, 1);
    validate_measure(m); // starts 0, 96, 192 (a dotted half rest follows 96:96)
    EXPECT_EQ(m->n_pos, 3);
    EXPECT_EQ(get_near_x_by_pos_x(m, 1), 96);
    EXPECT_EQ(get_near_x_by_pos_x(m, 9), 192);
    EXPECT_EQ(get_near_pos_x_by_x(m, 100), 2);
    EXPECT_EQ(get_near_pos_x_by_x(m, 800), 0);
    EXPECT_EQ(find_near_note_by_x(m, 800), nullptr);
    note *near = find_near_note_by_pos_x(m, 1);
    ASSERT_NE(near, nullptr);
    EXPECT_EQ(near->x, 96);
    EXPECT_EQ(near->next->x, 192) << "on equal distance the later element wins";
    g_score.tracks[0].active = 0;
    g_score.tracks[1].active = 0;
    EXPECT_EQ(find_near_note_by_pos_x(m, 1), nullptr);
    EXPECT_EQ(get_near_x_by_pos_x(m, 1), 0);
    EXPECT_EQ(get_near_pos_x_by_x(m, 0), 0);
}

TEST_F(Layout, NearestColumnTieGoesToTheLaterElement) {
    measure *m = nth(0);
    add_note(m, 0, 192, 0);
    add_note(m, 384, 192, 0);
    validate_measure(m);            // 0, 192 (rest), 384, 576 (rest): columns 0..3
    m->notes.head->next->pos.x = 5; // leave column 1 with neighbours at 0 and 2 only
    EXPECT_EQ(find_near_note_by_pos_x(m, 1)->x, 384);
}

TEST_F(Layout, DuplicateCheckLooksAtTheGivenTick) {
    measure *m = nth(0);
    add_note(m, 192, 192, 4, 0);
    validate_measure(m);
    EXPECT_NE(find_note_by_x(m, 192, 2, 0), nullptr);
    EXPECT_EQ(find_note_by_x(m, 0, 2, 0), nullptr) << "the rest at 0 carries the same position";
    EXPECT_EQ(find_note_by_x(m, 192, 3, 0), nullptr);
    EXPECT_EQ(find_note_by_x(m, 192, 2, 1), nullptr);
}

} // namespace
