// Tests of the renderer: the picture is drawn into a memory bitmap and checked by pixels at the
// places where staff lines, bar lines, glyphs, ledger lines, key signatures, ties, the cursor
// and the selection brackets must appear.
#include <gtest/gtest.h>

#include <allegro.h>

#include "editor/cursor.h"
#include "render/glyphs.h"
#include "editor/interface.h"
#include "editor/state.h"
#include "model/seq.h"
#include "render/draw.h"

namespace {

constexpr int W = 640, H = 480;
constexpr int ORIGIN_X = 63, CENTRE_Y = 156; // origin of the score with the default heights
constexpr int LIMIT_X = W - 30, LIMIT_Y = H - 6;

class DrawTest : public ::testing::Test {
  protected:
    measure *m0 = nullptr;

    void SetUp() override {
        ASSERT_EQ(get_note_font(), 1);
        select_palette(the_palette);
        set_colors();
        buf = create_bitmap(W, H);
        ASSERT_NE(buf, nullptr);
        init_track_info(&g_score);
        g_score.track_num = 1;
        update_active_tracks();
        track_height = DEFAULT_TRACK_HEIGHT;
        panel_height = PANEL_HEIGHT;
        offset_x = offset_y = 0;
        edit_mode = 1;
        dot_mode = 0;
        edited = 0;
        note_type = TICKS_PER_QUARTER;
        selected_note = nullptr;
        init_score(&g_score);
        set_coord(&g_score.screen, W, H);
        set_coord(&g_score.limit, LIMIT_X, LIMIT_Y);
        set_coord(&g_score.origin, ORIGIN_X, CENTRE_Y);
        m0 = add_measure(4, 4, 0);
        g_score.ref_measure = m0;
        g_score.ref_x = 1;
    }
    void TearDown() override {
        destroy_score(&g_score);
        destroy_bitmap(buf);
        buf = nullptr;
        destroy_all_fonts();
        unselect_palette();
        edit_mode = 1;
        dot_mode = 0;
        note_type = TICKS_PER_QUARTER;
        g_score.track_num = 1;
        init_track_info(&g_score);
        update_active_tracks();
    }

    measure *add_measure(int num, int bit, int key) {
        measure *m = insert_measure(&g_score, g_score.measures.tail, new_measure());
        set_measure(m, num, bit, key);
        return m;
    }
    // A note (not validated: no rests around it) at tick x with staff position pos_y.
    note *add_note(measure *m, int x, int len, int pos_y, int step = 0, int accidental = 0,
                   int track = 0) {
        note *n = new_note();
        n->x = x;
        n->len = n->total_len = static_cast<int16_t>(len);
        n->pos.y = static_cast<int16_t>(pos_y);
        n->step = static_cast<int8_t>(step);
        n->accidental = static_cast<int8_t>(accidental);
        n->track = static_cast<int8_t>(track);
        n->triplet = is_exact_triplet(len);
        _insert_sorted_note_list(&m->notes, n, note_comp);
        update_measure_order(m, 1);
        return n;
    }
    void set_tracks(int count) {
        g_score.track_num = count;
        for (int t = 0; t < count; t++)
            g_score.tracks[t].active = 1;
        update_active_tracks();
    }

    int px(int x, int y) { return getpixel(buf, x, y); }
    // Every ink pixel of the glyph is in buf with the glyph's top-left corner at (x, y),
    // except on buf's row skip_y.
    // The mode icon at (2, 2): its ink as drawn, the panel's background where it has none.
    void expect_mode_icon(BITMAP *icon) {
        for (int y = 0; y < MODE_ICON_ROWS; y++)
            for (int x = 0; x < icon->w; x++) {
                int c = getpixel(icon, x, y);
                ASSERT_EQ(px(2 + x, 2 + y), c == bitmap_mask_color(icon) ? bcol : c)
                    << x << "," << y;
            }
    }
    static constexpr int MODE_ICON_ROWS = 20;

    bool glyph_at(BITMAP *g, int x, int y, int skip_y = -1) {
        int ink = 0;
        for (int j = 0; j < g->h; j++)
            for (int i = 0; i < g->w; i++) {
                int c = getpixel(g, i, j);
                if (c == 0 || y + j == skip_y)
                    continue;
                ink++;
                if (getpixel(buf, x + i, y + j) != c)
                    return false;
            }
        return ink > 0;
    }
    // Pixels in the rectangle that differ from the background.
    int ink_in(int x0, int y0, int x1, int y1) {
        int count = 0;
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++)
                count += getpixel(buf, x, y) != bcol;
        return count;
    }
    // Glyph corners of a note whose staff point is (x, y), as the renderer places them.
    static int note_x(int x) { return x - 7; }
    static int head_y(int y) { return y - 28; }
    static int low_y(int y) { return y - 15; }
    static int staff_y(int pos) { return CENTRE_Y - 6 * pos; }
    static int column_x(int column) { return ORIGIN_X + 30 * column; }
};

TEST_F(DrawTest, StaffLinesLieTwoStepsApartAroundTheCentreLine) {
    draw_all(current_view());
    for (int k = 1; k <= 5; k++) {
        EXPECT_EQ(px(300, CENTRE_Y - 12 * k), fcol) << "treble line " << k;
        EXPECT_EQ(px(300, CENTRE_Y + 12 * k), fcol) << "bass line " << k;
        EXPECT_EQ(px(300, CENTRE_Y - 12 * k + 6), bcol) << "space below treble line " << k;
    }
    EXPECT_EQ(px(300, CENTRE_Y), bcol); // middle C has no line of its own
    EXPECT_EQ(px(ORIGIN_X - 48, CENTRE_Y - 60), fcol);
    EXPECT_EQ(px(ORIGIN_X - 49, CENTRE_Y - 60), bcol);
    EXPECT_EQ(px(LIMIT_X, CENTRE_Y + 60), fcol);
    EXPECT_EQ(px(LIMIT_X + 1, CENTRE_Y + 60), bcol);
    EXPECT_EQ(px(300, panel_height), green_color);
}

TEST_F(DrawTest, SecondRowIsOneTrackHeightLower) {
    set_tracks(2);
    draw_all(current_view());
    EXPECT_EQ(px(300, CENTRE_Y + 216 - 60), fcol);
    EXPECT_EQ(px(300, CENTRE_Y + 216 + 60), fcol);
}

TEST_F(DrawTest, BarLineStandsHalfAColumnBeforeTheMeasureEnd) {
    add_note(m0, 0, 192, 1);
    add_note(m0, 192, 192, 1);
    ASSERT_EQ(m0->width, 60);
    draw_all(current_view());
    int bar = ORIGIN_X + 60 - 15;
    EXPECT_EQ(px(bar, CENTRE_Y - 3), fcol);
    EXPECT_EQ(px(bar, CENTRE_Y - 60), fcol);
    EXPECT_EQ(px(bar, CENTRE_Y + 60), fcol);
    EXPECT_EQ(px(bar, CENTRE_Y - 61), bcol); // from the top treble line
    EXPECT_EQ(px(bar, CENTRE_Y + 61), bcol); // to the bottom bass line
    EXPECT_EQ(px(bar - 1, CENTRE_Y - 3), bcol);
    EXPECT_EQ(px(bar + 1, CENTRE_Y - 3), bcol);
}

TEST_F(DrawTest, NoteGlyphSitsWithItsHeadOnTheStaffPoint) {
    add_note(m0, 0, 192, 2);
    add_note(m0, 192, 96, -3);
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note4, note_x(column_x(0)), head_y(staff_y(2))));
    EXPECT_TRUE(glyph_at(note8, note_x(column_x(1)), head_y(staff_y(-3))));
    EXPECT_EQ(px(column_x(0), staff_y(2)), fcol); // the head covers its centre
}

TEST_F(DrawTest, LedgerLinesForHighLowAndMiddleC) {
    add_note(m0, 0, 192, 12);
    add_note(m0, 192, 192, -11);
    add_note(m0, 384, 192, 0);
    draw_all(current_view());
    int x = column_x(0);
    for (int pos : {10, 12}) {
        EXPECT_EQ(px(x - 8, staff_y(pos)), fcol) << pos;
        EXPECT_EQ(px(x + 8, staff_y(pos)), fcol) << pos;
    }
    EXPECT_EQ(px(x - 8, staff_y(11)), bcol);
    EXPECT_EQ(px(x - 8, staff_y(14)), bcol);
    x = column_x(1);
    EXPECT_EQ(px(x - 8, staff_y(-10)), fcol);
    EXPECT_EQ(px(x - 8, staff_y(-12)), bcol);
    x = column_x(2);
    EXPECT_EQ(px(x - 8, CENTRE_Y), fcol);
    EXPECT_EQ(px(x + 8, CENTRE_Y), fcol);
    EXPECT_EQ(px(x - 9, CENTRE_Y), bcol);
    EXPECT_EQ(px(x + 9, CENTRE_Y), bcol);
}

TEST_F(DrawTest, NoteOneStepBelowTheStaffGetsNoLedgerLine) {
    add_note(m0, 0, 192, -9);
    add_note(m0, 192, 192, 9);
    draw_all(current_view());
    EXPECT_EQ(px(column_x(0) - 8, staff_y(-10)), fcol); // the staff line itself
    EXPECT_EQ(px(column_x(0) - 8, staff_y(-8)), fcol);
    EXPECT_EQ(px(column_x(1) - 8, staff_y(10)), fcol);
    EXPECT_EQ(px(column_x(1) - 8, staff_y(12)), bcol);
}

TEST_F(DrawTest, KeyChangeToCDrawsTwoNaturalsPerStaff) {
    m0->key = 2;
    measure *m1 = add_measure(4, 4, 0);
    add_note(m0, 0, 192, 1);
    add_note(m1, 0, 192, 1);
    draw_all(current_view());
    int x = ORIGIN_X + m0->width; // start of the 48 pixels reserved for the key
    EXPECT_TRUE(glyph_at(icon_natural, x + 0 - 8, CENTRE_Y - 10 * 6 - 16));
    EXPECT_TRUE(glyph_at(icon_natural, x + 4 - 8, CENTRE_Y - 7 * 6 - 16));
    EXPECT_TRUE(glyph_at(icon_natural, x + 0 - 8, CENTRE_Y + 4 * 6 - 16));
    EXPECT_TRUE(glyph_at(icon_natural, x + 4 - 8, CENTRE_Y + 7 * 6 - 16));
    EXPECT_FALSE(glyph_at(icon_natural, x + 12 - 8, CENTRE_Y - 11 * 6 - 16));
    EXPECT_FALSE(glyph_at(icon_sharp, x + 0 - 8, CENTRE_Y - 10 * 6 - 16));
    // The new measure's notes start after the reserved gap.
    EXPECT_TRUE(glyph_at(note4, note_x(x + 48), head_y(staff_y(1))));
    // And the key of the first measure on screen stands in the left margin.
    EXPECT_TRUE(glyph_at(icon_sharp, ORIGIN_X - 48 - 8, CENTRE_Y - 10 * 6 - 16));
    EXPECT_TRUE(glyph_at(icon_sharp, ORIGIN_X - 48 + 4 - 8, CENTRE_Y - 7 * 6 - 16));
}

TEST_F(DrawTest, KeyChangeBetweenKeysDrawsOnlyTheNewKey) {
    m0->key = 2;
    measure *m1 = add_measure(4, 4, -1);
    add_note(m0, 0, 192, 1);
    add_note(m1, 0, 192, 1);
    draw_all(current_view());
    int x = ORIGIN_X + m0->width;
    EXPECT_TRUE(glyph_at(icon_flat, x - 8, CENTRE_Y - 6 * 6 - 16));
    EXPECT_TRUE(glyph_at(icon_flat, x - 8, CENTRE_Y + 8 * 6 - 16));
    EXPECT_FALSE(glyph_at(icon_natural, x - 8, CENTRE_Y - 10 * 6 - 16));
    EXPECT_FALSE(glyph_at(icon_flat, x - 8, CENTRE_Y - 9 * 6 - 16)); // one flat only
}

TEST_F(DrawTest, AccidentalsAgainstTheKey) {
    m0->key = 1; // G major: F is sharpened by the key
    note *f_sharp = add_note(m0, 0, 192, 3, 3, 1);
    note *f = add_note(m0, 192, 192, 3, 3, 0);
    note *c_sharp = add_note(m0, 384, 192, 0, 0, 1);
    draw_all(current_view());
    int y = low_y(staff_y(3));
    int x = note_x(f_sharp->display.x) - 10;
    EXPECT_FALSE(glyph_at(icon_sharp, x, y));
    EXPECT_FALSE(glyph_at(icon_natural, x, y));
    x = note_x(f->display.x) - 10;
    EXPECT_TRUE(glyph_at(icon_natural, x, y));
    EXPECT_TRUE(glyph_at(icon_sharp, note_x(c_sharp->display.x) - 10, low_y(staff_y(0))));
}

TEST_F(DrawTest, FlatKeyDropsItsFlatsAndShowsNaturals) {
    m0->key = -1; // F major: B is flattened by the key
    note *b_flat = add_note(m0, 0, 192, 6, 6, -1);
    note *b = add_note(m0, 192, 192, 6, 6, 0);
    note *e_flat = add_note(m0, 384, 192, 2, 2, -2);
    draw_all(current_view());
    int y = low_y(staff_y(6));
    EXPECT_FALSE(glyph_at(icon_flat, note_x(b_flat->display.x) - 10, y));
    EXPECT_TRUE(glyph_at(icon_natural, note_x(b->display.x) - 10, y));
    EXPECT_TRUE(glyph_at(icon_double_flat, note_x(e_flat->display.x) - 10, low_y(staff_y(2))));
}

TEST_F(DrawTest, KeyBeyondSevenAccidentalsDrawsSeven) {
    m0->key = 9;
    draw_all(current_view());
    int x = ORIGIN_X - 48;
    EXPECT_TRUE(glyph_at(icon_sharp, x + 12 - 8, CENTRE_Y - 6 * 6 - 16)); // the seventh
    m0->key = -9;
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(icon_flat, x + 7 - 8, CENTRE_Y - 3 * 6 - 16));
}

TEST_F(DrawTest, NoteWithoutAValidStepShowsItsOwnAccidental) {
    m0->key = 7;
    note *n = add_note(m0, 0, 192, 3, 11, 1);
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(icon_sharp, note_x(n->display.x) - 10, low_y(staff_y(3))));
}

TEST_F(DrawTest, DottedQuarterGetsADotAndTripletGetsTheMarkOnly) {
    note *dotted = add_note(m0, 0, 288, 1);
    note *triplet = add_note(m0, 288, 128, 1);
    ASSERT_TRUE(triplet->triplet);
    draw_all(current_view());
    int gx = note_x(dotted->display.x), hy = head_y(staff_y(1));
    EXPECT_TRUE(glyph_at(note4, gx, hy));
    EXPECT_TRUE(glyph_at(icon_dot, gx + 3, hy));
    gx = note_x(triplet->display.x);
    EXPECT_TRUE(glyph_at(note4, gx, hy));
    EXPECT_TRUE(glyph_at(icon_triplet, gx, hy - 22));
    EXPECT_FALSE(glyph_at(icon_dot, gx + 3, hy));
}

TEST_F(DrawTest, RestsUseTheRestTableLowerAndFurtherLeft) {
    note *r = add_note(m0, 0, 96, 0);
    r->rest = 1;
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(rest8, r->display.x - 17, low_y(staff_y(0))));
    EXPECT_EQ(px(r->display.x - 8, CENTRE_Y), bcol); // rests get no ledger line
}

TEST_F(DrawTest, RestOfLengthZeroIsNotDrawn) {
    add_note(m0, 0, 192, 2);
    BITMAP *without = create_bitmap(W, H);
    draw_all(current_view());
    blit(buf, without, 0, 0, 0, 0, W, H);
    note *empty = add_note(m0, 0, 0, 4);
    empty->rest = 1;
    draw_all(current_view());
    int differ = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            differ += getpixel(buf, x, y) != getpixel(without, x, y);
    EXPECT_EQ(differ, 0);
    destroy_bitmap(without);
}

TEST_F(DrawTest, TieFromAMeasureBeforeTheScreenStartsLeftOfTheStaff) {
    measure *m1 = add_measure(4, 4, 0);
    note *a = add_note(m0, 576, 192, 2);
    note *b = add_note(m1, 0, 96, 2);
    _l_tie_note(a, b);
    g_score.ref_measure = m1;
    g_score.ref_x = 2;
    draw_all(current_view());
    int y = staff_y(2);
    // w = 63 - 33 = 30, so the stroke drops 3 * min(15, 24) / 4 = 11 pixels at its start.
    EXPECT_EQ(px(ORIGIN_X - 30, y + 11), blue_color);
    EXPECT_EQ(px(ORIGIN_X - 31, y + 11), bcol);
}

TEST_F(DrawTest, TieBetweenVisiblePiecesIsAnArcBelowTheHeads) {
    measure *m1 = add_measure(4, 4, 0);
    note *a = add_note(m0, 0, 768, 7);
    note *b = add_note(m1, 0, 192, 7);
    _l_tie_note(a, b);
    draw_all(current_view());
    int px0 = a->display.x, x = b->display.x;
    ASSERT_EQ(x - px0, 30);
    int e = 30 / 4, d = e / 2;
    int y = staff_y(7);
    EXPECT_EQ(px(px0 + 2 * e, y + d), blue_color);
    EXPECT_EQ(px(px0 + e, y + 3 * d / 4), blue_color);
}

TEST_F(DrawTest, TieToAPieceBeyondTheRightEdgeRunsToTheLimit) {
    for (int i = 0; i < 30; i++)
        add_note(m0, i * 24, 24, 4);
    measure *m1 = add_measure(4, 4, 0);
    note *last = m0->notes.tail;
    note *next = add_note(m1, 0, 192, 4);
    _l_tie_note(last, next);
    ASSERT_GE(ORIGIN_X + m0->width, LIMIT_X);
    draw_all(current_view());
    if (last->display.x <= LIMIT_X) {
        int w = LIMIT_X - last->display.x;
        EXPECT_EQ(px(LIMIT_X, staff_y(4) + 3 * std::min(w / 2, 24) / 4), blue_color);
    }
    EXPECT_EQ(ink_in(LIMIT_X + 2, CENTRE_Y - 80, W - 1, CENTRE_Y + 80), 0);
}

TEST_F(DrawTest, HiddenTracksDrawNothing) {
    add_note(m0, 0, 192, 2);
    g_score.tracks[0].active = 0;
    update_active_tracks();
    ASSERT_EQ(n_active_track, 0);
    draw_all(current_view());
    EXPECT_EQ(bar_top, 0);
    EXPECT_EQ(bar_bottom, 0);
    EXPECT_EQ(ink_in(0, 60, W - 1, H - 1), 0);
    EXPECT_GT(ink_in(ORIGIN_X - 48, 24, ORIGIN_X - 20, 50), 0); // margin texts
    EXPECT_GT(ink_in(2, 2, 17, 33), 0);                         // mode icon
}

TEST_F(DrawTest, NotesOfAHiddenTrackAreLeftOutBesideShownOnes) {
    set_tracks(2);
    g_score.tracks[0].active = 0;
    update_active_tracks();
    note *shown = add_note(m0, 0, 192, 2, 0, 0, 1);
    note *hidden = add_note(m0, 0, 192, -4, 0, 0, 0);
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note4, note_x(shown->display.x), head_y(staff_y(2))));
    EXPECT_FALSE(glyph_at(note4, note_x(ORIGIN_X), head_y(staff_y(-4))));
    (void)hidden;
}

TEST_F(DrawTest, VisibleRowsFollowTheVerticalScroll) {
    set_tracks(5);
    offset_y = 0;
    EXPECT_EQ(get_draw_track(), 2);
    EXPECT_EQ(draw_start_track, 0);
    get_draw_bar(&g_score);
    EXPECT_EQ(bar_top, CENTRE_Y - 60);
    EXPECT_EQ(bar_bottom, H - 1);
    offset_y = 216; // row 0 scrolled away entirely
    EXPECT_EQ(get_draw_track(), 3);
    EXPECT_EQ(draw_start_track, 1);
    offset_y = 215;
    get_draw_track();
    EXPECT_EQ(draw_start_track, 0);
    offset_y = -216;
    EXPECT_EQ(get_draw_track(), 1);
    EXPECT_EQ(draw_start_track, 0);
    set_tracks(1);
    offset_y = 0;
    EXPECT_EQ(get_draw_track(), 0);
}

TEST_F(DrawTest, ScrolledRowsDrawOnlyTheVisibleStaves) {
    set_tracks(3);
    add_note(m0, 0, 192, 2, 0, 0, 0);
    note *n1 = add_note(m0, 0, 192, 2, 0, 0, 1);
    offset_y = 216;
    draw_all(current_view());
    EXPECT_EQ(px(300, CENTRE_Y - 60), fcol); // now row 1's top line
    EXPECT_TRUE(glyph_at(note4, note_x(n1->display.x), head_y(staff_y(2))));
    EXPECT_EQ(bar_top, CENTRE_Y - 60);
}

// The mode icon shows its ink on the panel's background, its own background masked out (rows
// above the margin texts are compared); the length glyph hangs below the panel and is crossed by
// the panel's rule.
TEST_F(DrawTest, StatusPanelShowsModeAndEntryLength) {
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note4, 58, 18, panel_height));
    EXPECT_FALSE(glyph_at(icon_dot, 60, 18));
    EXPECT_FALSE(glyph_at(icon_dot_mode, 18, 2));
    expect_mode_icon(icon_insert);

    edit_mode = 0;
    dot_mode = 1;
    note_type = 288;
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note4, 58, 18, panel_height));
    EXPECT_TRUE(glyph_at(icon_dot, 60, 18));
    EXPECT_TRUE(glyph_at(icon_dot_mode, 18, 2));
    expect_mode_icon(icon_select);

    note_type = 128;
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note4, 58, 34));
    EXPECT_TRUE(glyph_at(icon_triplet, 58, 12, panel_height));
}

TEST_F(DrawTest, EntryLengthsBeyondTheTablesAreClamped) {
    note_type = 1536; // two whole notes: drawn as a whole note
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note1, 58, 18, panel_height));
    note_type = 2; // below the shortest triplet
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note256, 58, 34));
}

TEST_F(DrawTest, CursorLineAndSelectionBrackets) {
    add_note(m0, 0, 192, 1);
    add_note(m0, 192, 192, 1);
    add_note(m0, 384, 192, 1);
    add_note(m0, 576, 192, 1);
    g_score.cursor_measure = m0;
    g_score.cursor_x = 192;
    g_score.select_start = g_score.select_end = m0;
    g_score.select_start_x = 0;
    g_score.select_end_x = 384;
    draw_all(current_view());
    int cx = column_x(1);
    EXPECT_EQ(px(cx, CENTRE_Y + 84), scol);
    EXPECT_EQ(px(cx, CENTRE_Y - 84), scol);
    EXPECT_NE(px(cx, CENTRE_Y + 85), scol);
    int open = column_x(0), close = column_x(2);
    EXPECT_EQ(px(open, CENTRE_Y + 72), scol);
    EXPECT_EQ(px(open + 15, CENTRE_Y - 72), scol);
    EXPECT_EQ(px(close - 15, CENTRE_Y + 72), scol);
    EXPECT_NE(px(close + 1, CENTRE_Y + 72), scol);
    // The selected notes come from the red table, the one after the end does not.
    EXPECT_TRUE(glyph_at(note4s, note_x(column_x(0)), head_y(staff_y(1))));
    EXPECT_TRUE(glyph_at(note4, note_x(column_x(3)), head_y(staff_y(1))));
}

TEST_F(DrawTest, TheTouchedNoteIsRed) {
    note *n = add_note(m0, 0, 192, 1);
    selected_note = n;
    draw_all(current_view());
    EXPECT_TRUE(glyph_at(note4s, note_x(n->display.x), head_y(staff_y(1))));
    selected_note = nullptr;
}

// The staccato dot lies under the head (the stems point up), in the first space below it:
// one step under a head on a line, two under a head in a space.
TEST_F(DrawTest, StaccatoDotSitsInTheSpaceUnderTheHead) {
    const int cases[][2] = {{2, 1}, {1, 2}, {-3, 2}, {-2, 1}, {0, 1}, {13, 2}};
    for (const auto &c : cases) {
        note *n = add_note(m0, 0, 192, c[0]);
        n->staccato = 1;
        draw_all(current_view());
        int x = n->display.x, y = staff_y(c[0]) + 6 * c[1];
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                EXPECT_EQ(px(x + dx, y + dy), fcol) << "pos " << c[0];
        EXPECT_EQ(ink_in(x - 3, y + 2, x + 3, y + 3), 0) << "pos " << c[0];
        _delete_note_list(&m0->notes, n, nullptr);
    }
}

TEST_F(DrawTest, StaccatoDotIsRedWithTheTouchedNoteAndOnlyAtTheFirstPiece) {
    note *n = add_note(m0, 576, 192, 2);
    measure *m1 = add_measure(4, 4, 0);
    note *piece = add_note(m1, 0, 192, 2);
    n->total_len = 384;
    n->l_next = piece;
    piece->l_prev = n;
    n->staccato = piece->staccato = 1;
    note *plain = add_note(m0, 0, 192, 2);
    selected_note = n;
    draw_all(current_view());
    int y = staff_y(2) + 6;
    EXPECT_EQ(px(n->display.x, y), scol);
    EXPECT_EQ(ink_in(piece->display.x - 3, y - 2, piece->display.x + 3, y + 2), 0);
    EXPECT_EQ(ink_in(plain->display.x - 3, y - 2, plain->display.x + 3, y + 2), 0);
    selected_note = nullptr;
}

TEST_F(DrawTest, ScrolledOutColumnsOfTheFirstMeasureAreNotDrawn) {
    note *a = add_note(m0, 0, 192, 2);
    note *b = add_note(m0, 192, 192, 2);
    offset_x = 192;
    draw_all(current_view());
    EXPECT_EQ(b->display.x, ORIGIN_X);
    EXPECT_EQ(a->display.x, ORIGIN_X - 30);
    EXPECT_TRUE(glyph_at(note4, note_x(ORIGIN_X), head_y(staff_y(2))));
    EXPECT_FALSE(glyph_at(note4, note_x(ORIGIN_X - 30), head_y(staff_y(2))));
}

TEST_F(DrawTest, TimeSignatureChangeIsPrintedAboveTheMeasure) {
    measure *m1 = add_measure(3, 4, 0);
    draw_all(current_view());
    int x = ORIGIN_X + m0->width;
    EXPECT_GT(ink_in(x, CENTRE_Y - 84, x + 60, CENTRE_Y - 84 + 7), 0);
    (void)m1;
    EXPECT_EQ(ink_in(ORIGIN_X, CENTRE_Y - 84, ORIGIN_X + m0->width - 16, CENTRE_Y - 77), 0);
}

} // namespace
