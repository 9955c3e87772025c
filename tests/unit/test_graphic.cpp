// Tests of the tempo editor without a screen: transforms, zoom and scroll, strokes turned into
// a staircase of tempo events, saving back into the measures, and one frame in a memory bitmap.
#include <gtest/gtest.h>

#include <allegro.h>

#include <utility>
#include <vector>

#include "render/glyphs.h"
#include "editor/interface.h"
#include "gui/graphic.h"
#include "model_core_helpers.h"

namespace {

using model_test::nth;
typedef std::vector<std::pair<int, int>> events; // (tick, tempo)

// Column c of the default graph spans x 64 + 8c .. +7; these rows read as the named tempos.
constexpr int Y_100 = 222, Y_110 = 203, Y_140 = 147;
int col_x(int c) {
    return 64 + 8 * c + 4;
}

void add_tempo(measure *m, int x, int value, int type = EVENT_TEMPO) {
    m_event *e = new_m_event();
    e->x = x;
    e->type = static_cast<int16_t>(type);
    e->value = value;
    _insert_sorted_m_event_list(&m->m_events, e, m_event_comp);
}

events listed(m_event *first) {
    events out;
    for (m_event *e = first; e; e = e->next)
        out.push_back({e->x, e->value});
    return out;
}

class GraphicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        default_tempo = 120;
        model_test::reset_score(1, 3);
        init_graphic();
    }
    void TearDown() override {
        graphic_kill_m_events();
        close_graphic();
        model_test::release_score();
    }
    // Loads the score and turns one stroke between two screen points into working events.
    void stroke(int x1, int y1, int x2, int y2) {
        graphic_load_m_event(&g_score);
        graphic_list_to_array();
        graphic_apply_stroke(x1, y1, x2, y2);
    }
};

TEST_F(GraphicTest, Transforms) {
    struct {
        int sx, column, on_graph;
    } xs[] = {{64, 0, 1}, {72, 1, 1}, {575, 63, 1}, {576, 64, 0}, {60, 0, 1}, {50, -1, 0}};
    for (auto &c : xs) {
        int column = 99, sx = 0;
        EXPECT_EQ(screen_graphic_position_x(c.sx, &column), c.on_graph) << c.sx;
        EXPECT_EQ(column, c.column) << c.sx;
        EXPECT_EQ(graphic_screen_position_x(c.column, &sx), c.on_graph) << c.column;
    }
    struct {
        int bottom, sy, tempo;
    } ys[] = {{0, 410, 0}, {0, 110, 160}, {0, Y_100, 100}, {0, Y_140, 140}, {100, 260, 180}};
    for (auto &c : ys) {
        graphic_y = c.bottom;
        EXPECT_EQ(screen_graphic_position_y(c.sy), c.tempo) << c.sy;
    }
    EXPECT_EQ(graphic_screen_position_y(180), 260);
    graphic_button_t b = {10, 20, 16, 32, nullptr, nullptr};
    EXPECT_TRUE(detect_button_box(&b, 26, 52));
    EXPECT_FALSE(detect_button_box(&b, 27, 52));
}

TEST_F(GraphicTest, ZoomAndScroll) {
    for (int dx : {8, 2, 1, 1}) {
        graphic_zoom_time(1);
        EXPECT_EQ(graphic_dx, dx);
    }
    for (int i = 0; i < 20; i++)
        graphic_zoom_time(0);
    EXPECT_EQ(graphic_dx, GRAPHIC_MAX_DX);
    struct {
        int x, in, dx, x_after; // from 32 ticks per column
    } snap[] = {{100, 1, 8, 104}, {100, 0, 64, 128}, {95, 0, 64, 64}};
    for (auto &c : snap) {
        graphic_dx = 32;
        graphic_x = c.x;
        graphic_zoom_time(c.in);
        EXPECT_EQ(graphic_x, c.x_after) << c.x;
    }
    graphic_zoom_tempo(1);
    EXPECT_EQ(graphic_dy, 4);
    EXPECT_EQ(graphic_y, 1);
    struct {
        int x, by, x_after;
    } scroll[] = {{10, -32, 0}, {100, -32, 68}, {GRAPHIC_MAX_X - 10, 1024, GRAPHIC_MAX_X}};
    for (auto &c : scroll) {
        graphic_x = c.x;
        graphic_scroll_x(c.by);
        EXPECT_EQ(graphic_x, c.x_after) << c.x;
    }
    graphic_dy = 8;
    graphic_y = 12;
    graphic_scroll_y(0);
    graphic_scroll_y(0);
    EXPECT_EQ(graphic_y, 4);
}

TEST_F(GraphicTest, LoadsAbsoluteTicksAndSamplesColumns) {
    add_tempo(nth(0), 0, 100);
    add_tempo(nth(1), 384, 80);
    add_tempo(nth(2), 200, 130);
    graphic_load_m_event(&g_score);
    EXPECT_EQ(listed(m_events.next), (events{{0, 120}, {0, 100}, {1152, 80}, {1736, 130}}));
    graphic_list_to_array();
    const int expect[][2] = {{0, 100}, {35, 100}, {36, 80}, {54, 80}, {55, 130}, {63, 130}};
    for (auto &c : expect)
        EXPECT_EQ(graphic_array[c[0]], c[1]) << "column " << c[0];
}

TEST_F(GraphicTest, LinearizeSetsAndMarksTheSpannedColumns) {
    struct {
        const char *name;
        int x1, y1, x2, y2, first, last, first_tempo, last_tempo;
    } cases[] = {
        {"ramp", col_x(5), Y_100, col_x(15), Y_140, 5, 15, 100, 140},
        {"leftwards", col_x(15), Y_140, col_x(5), Y_100, 5, 15, 100, 140},
        {"one column", col_x(7), Y_100, col_x(7) + 3, Y_140, -1, -1, 0, 0},
        {"clipped, same slope", 20, Y_100, 700, Y_140, 0, 63, 102, 132},
        {"below the graph", col_x(0), 480, col_x(4), 480, 0, 4, 1, 1},
    };
    for (auto &c : cases) {
        init_graphic();
        graphic_linearize(c.x1, c.y1, c.x2, c.y2);
        for (int i = 0; i < graphic_column; i++)
            EXPECT_EQ(graphic_mask[i], i >= c.first && i <= c.last) << c.name << " " << i;
        if (c.first >= 0) {
            EXPECT_EQ(graphic_array[c.first], c.first_tempo) << c.name;
            EXPECT_EQ(graphic_array[c.last], c.last_tempo) << c.name;
        }
    }
}

TEST_F(GraphicTest, StrokesBecomeAStaircase) {
    struct {
        const char *name;
        int y2;
        events expect;
    } cases[] = {
        {"100 to 140 over 10 columns",
         Y_140,
         {{0, 120},
          {160, 100},
          {192, 104},
          {224, 108},
          {256, 112},
          {288, 116},
          {320, 120},
          {352, 124},
          {384, 128},
          {416, 132},
          {448, 136},
          {480, 140},
          {512, 120}}},
        {"100 to 110: steps at least 4 apart",
         Y_110,
         {{0, 120}, {160, 100}, {288, 104}, {416, 108}, {512, 120}}},
    };
    for (auto &c : cases) {
        graphic_kill_m_events();
        stroke(col_x(5), Y_100, col_x(15), c.y2);
        EXPECT_EQ(listed(m_events.next), c.expect) << c.name;
    }
}

TEST_F(GraphicTest, StrokeReplacesOnlyTheEventsUnderIt) {
    add_tempo(nth(0), 300, 90);  // under the stroke
    add_tempo(nth(0), 600, 95);  // after it, between two column starts
    add_tempo(nth(1), 100, 130); // further on
    graphic_load_m_event(&g_score);
    graphic_list_to_array();
    events loaded = listed(m_events.next);
    graphic_apply_stroke(col_x(7), Y_100, col_x(7) + 3, Y_140);
    EXPECT_EQ(listed(m_events.next), loaded) << "a stroke inside one column changes nothing";
    graphic_apply_stroke(col_x(5), Y_100, col_x(10), Y_100);
    // Column 11 gets back the 90 that was in force there; the later events stay, each repeated
    // at the next column start where the staircase samples it.
    EXPECT_EQ(
        listed(m_events.next),
        (events{{0, 120}, {160, 100}, {352, 90}, {600, 95}, {608, 95}, {868, 130}, {896, 130}}));
}

TEST_F(GraphicTest, SavingWithoutAStrokeKeepsTheTempoMap) {
    add_tempo(nth(0), 0, 100);
    add_tempo(nth(2), 96, 70);
    graphic_load_m_event(&g_score);
    graphic_save_m_event(&g_score);
    EXPECT_EQ(listed(nth(0)->m_events.head), (events{{0, 120}, {0, 100}}));
    EXPECT_EQ(nth(1)->m_events.num, 0);
    EXPECT_EQ(listed(nth(2)->m_events.head), (events{{96, 70}}));
    EXPECT_EQ(g_score.measures.num, 3);
}

TEST_F(GraphicTest, SavingBeyondTheEndAppendsMeasuresOfTheLastSignature) {
    model_test::reset_score(1, 2, 3, 4);
    set_measure(nth(1), 3, 4, -2);
    add_tempo(nth(1), 0, 0, EVENT_KEY);
    add_tempo(nth(1), 0, 60);
    graphic_x = 1728; // measure 4 of 576 ticks
    stroke(col_x(0), Y_100, col_x(20), Y_140);
    graphic_save_m_event(&g_score);
    ASSERT_EQ(g_score.measures.num, 5);
    for (int i = 2; i < 5; i++) {
        EXPECT_EQ(nth(i)->num * 10 + nth(i)->key, 30 - 2) << i;
        EXPECT_GT(nth(i)->notes.num, 0) << "measure " << i << " holds its rests";
    }
    EXPECT_EQ(nth(1)->m_events.num, 2) << "the key event stays";
    EXPECT_EQ(listed(nth(3)->m_events.head).front(), (std::pair<int, int>{0, 100}));
    events last = listed(nth(4)->m_events.head); // the stroke ends at 2368, then 60 again
    EXPECT_EQ(events(last.end() - 2, last.end()), (events{{64, 140}, {96, 60}}));
}

TEST_F(GraphicTest, FrameShowsBarsBeatsAndTheStaircase) {
    ASSERT_EQ(get_note_font(), 1);
    select_palette(the_palette);
    set_colors();
    buf = create_bitmap(640, 480);
    clear_to_color(buf, bcol);
    init_graphic_button();
    add_tempo(nth(1), 0, 80);
    graphic_load_m_event(&g_score);
    graphic_x = 384;
    graphic_list_to_array();
    graphic_draw(&g_score);
    EXPECT_EQ(graphic_seed_measure, nth(0));
    // Tick 768 (bar line) is column 12, tick 576 (a beat) column 6; 120 is at y 185, 80 at 260.
    struct {
        int x, y, colour;
    } pixels[] = {{160, 360, fcol},       {112, 360, gray_color}, {88, 360, green_color},
                  {107, 185, blue_color}, {227, 260, blue_color}, {160, 220, blue_color},
                  {227, 190, bcol}};
    for (auto &p : pixels)
        EXPECT_EQ(getpixel(buf, p.x, p.y), p.colour) << p.x << "," << p.y;
    graphic_x = 4 * 768 + 100;
    graphic_draw(&g_score);
    EXPECT_EQ(graphic_seed_measure, nullptr);
    EXPECT_EQ(graphic_seed_measure_x, 4 * 768);
    destroy_bitmap(buf);
    buf = nullptr;
    destroy_all_fonts();
    unselect_palette();
}

} // namespace
