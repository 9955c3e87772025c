// Tests of the tempo editor without a screen: the coordinate transforms, zoom and scroll, the
// working list loaded from a score, strokes turned into a staircase of tempo events, saving
// back into the measures, and the frame drawn into a memory bitmap.
#include <gtest/gtest.h>

#include <allegro.h>

#include <utility>
#include <vector>

#include "editor/glyphs.h"
#include "editor/interface.h"
#include "gui/graphic.h"
#include "model_core_helpers.h"

namespace {

using model_test::nth;
using model_test::release_score;
using model_test::reset_score;

typedef std::vector<std::pair<int, int>> events; // (tick, tempo)

// Screen points of the default graph: column c is x 64 + 8c .. 64 + 8c + 7, and these rows
// read as the named tempos (tempo = 160 * (410 - y) / 300).
constexpr int Y_100 = 222, Y_110 = 203, Y_140 = 147;
int col_x(int c) {
    return 64 + 8 * c + 4;
}

void add_tempo(measure *m, int x, int value) {
    m_event *e = new_m_event();
    e->x = x;
    e->type = EVENT_TEMPO;
    e->value = value;
    _insert_sorted_m_event_list(&m->m_events, e, m_event_comp);
}

events working_list() {
    events out;
    for (m_event *e = m_events.next; e; e = e->next)
        out.push_back({e->x, e->value});
    return out;
}

events measure_events(measure *m) {
    events out;
    for (m_event *e = m->m_events.head; e; e = e->next)
        out.push_back({e->x, e->value});
    return out;
}

class GraphicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        default_tempo = 120;
        reset_score(1, 3);
        init_graphic();
    }
    void TearDown() override {
        graphic_kill_m_events();
        close_graphic();
        release_score();
    }
    // Loads the score, draws one stroke between two screen points and turns it into events.
    void stroke(int x1, int y1, int x2, int y2) {
        graphic_load_m_event(&g_score);
        graphic_list_to_array();
        graphic_linearize(x1, y1, x2, y2);
        graphic_array_to_list();
        clear_graphic_mask();
        graphic_list_to_array();
    }
};

TEST_F(GraphicTest, TransformsOfTheDefaultGraph) {
    struct {
        int sx, column, on_graph;
    } to_column[] = {{64, 0, 1},   {71, 0, 1}, {72, 1, 1}, {575, 63, 1},
                     {576, 64, 0}, {60, 0, 1}, {50, -1, 0}};
    for (auto &c : to_column) {
        int column = 99;
        EXPECT_EQ(screen_graphic_position_x(c.sx, &column), c.on_graph) << c.sx;
        EXPECT_EQ(column, c.column) << c.sx;
    }
    struct {
        int column, sx, on_graph;
    } to_x[] = {{0, 64, 1}, {1, 72, 1}, {63, 568, 1}, {64, 576, 0}, {-1, 56, 0}};
    for (auto &c : to_x) {
        int sx = 0;
        EXPECT_EQ(graphic_screen_position_x(c.column, &sx), c.on_graph) << c.column;
        EXPECT_EQ(sx, c.sx) << c.column;
    }
    struct {
        int bottom, sy, tempo;
    } y_cases[] = {{0, 410, 0},     {0, 110, 160},   {0, 260, 80},    {0, 411, 0},
                   {0, Y_100, 100}, {0, Y_140, 140}, {100, 410, 100}, {100, 260, 180}};
    for (auto &c : y_cases) {
        graphic_y = c.bottom;
        EXPECT_EQ(screen_graphic_position_y(c.sy), c.tempo) << c.sy;
    }
    graphic_y = 0;
    EXPECT_EQ(graphic_screen_position_y(0), 410);
    EXPECT_EQ(graphic_screen_position_y(160), 110);
    EXPECT_EQ(graphic_screen_position_y(80), 260);
}

TEST_F(GraphicTest, InBoxIncludesItsEdges) {
    graphic_button_t b = {10, 20, 16, 32, nullptr, nullptr};
    struct {
        int x, y, in;
    } cases[] = {{10, 20, 1}, {26, 52, 1}, {9, 20, 0}, {27, 30, 0}, {15, 53, 0}, {15, 19, 0}};
    for (auto &c : cases)
        EXPECT_EQ(detect_button_box(&b, c.x, c.y), c.in) << c.x << "," << c.y;
}

TEST_F(GraphicTest, ZoomAndScroll) {
    const int zoom_in[] = {8, 2, 1, 1};
    for (int dx : zoom_in) {
        graphic_zoom_time(1);
        EXPECT_EQ(graphic_dx, dx);
    }
    for (int dx = 2; dx <= GRAPHIC_MAX_DX; dx *= 2) {
        graphic_zoom_time(0);
        EXPECT_EQ(graphic_dx, dx);
    }
    graphic_zoom_time(0);
    EXPECT_EQ(graphic_dx, GRAPHIC_MAX_DX);

    struct {
        int dx, x, in, new_dx, new_x;
    } snap[] = {{32, 100, 1, 8, 104}, {32, 100, 0, 64, 128}, {32, 95, 0, 64, 64}};
    for (auto &c : snap) {
        graphic_dx = c.dx;
        graphic_x = c.x;
        graphic_zoom_time(c.in);
        EXPECT_EQ(graphic_dx, c.new_dx);
        EXPECT_EQ(graphic_x, c.new_x);
    }

    graphic_dy = 8;
    graphic_y = 0;
    graphic_zoom_tempo(1);
    EXPECT_EQ(graphic_dy, 4);
    EXPECT_EQ(graphic_y, 1);
    graphic_y = 37;
    graphic_zoom_tempo(0);
    EXPECT_EQ(graphic_dy, 8);
    EXPECT_EQ(graphic_y, 40);

    struct {
        int x, by, expect;
    } scroll[] = {{10, -32, 0},
                  {0, -32, 0},
                  {100, -32, 68},
                  {100, 1024, 1124},
                  {GRAPHIC_MAX_X - 10, 1024, GRAPHIC_MAX_X}};
    for (auto &c : scroll) {
        graphic_x = c.x;
        graphic_scroll_x(c.by);
        EXPECT_EQ(graphic_x, c.expect) << c.x << " by " << c.by;
    }
    graphic_dy = 8;
    graphic_y = 12;
    graphic_scroll_y(0);
    EXPECT_EQ(graphic_y, 4);
    graphic_scroll_y(0);
    EXPECT_EQ(graphic_y, 4);
    graphic_scroll_y(1);
    EXPECT_EQ(graphic_y, 12);
}

TEST_F(GraphicTest, LoadsAbsoluteTicksAndSamplesColumns) {
    add_tempo(nth(0), 0, 100);
    add_tempo(nth(1), 0, 90);
    add_tempo(nth(1), 384, 80);
    add_tempo(nth(2), 200, 130);
    graphic_load_m_event(&g_score);
    EXPECT_EQ(working_list(), (events{{0, 120}, {0, 100}, {768, 90}, {1152, 80}, {1736, 130}}));

    struct {
        int tick, tempo;
    } at[] = {{0, 100}, {767, 100}, {768, 90}, {1151, 90}, {1152, 80}, {1736, 130}, {99999, 130}};
    for (auto &c : at)
        EXPECT_EQ(get_graphic_y(&m_events, c.tick), c.tempo) << c.tick;

    graphic_x = 0;
    graphic_list_to_array();
    struct {
        int column, tempo;
    } columns[] = {{0, 100}, {23, 100}, {24, 90},  {35, 90},
                   {36, 80}, {54, 80},  {55, 130}, {63, 130}};
    for (auto &c : columns)
        EXPECT_EQ(graphic_array[c.column], c.tempo) << c.column;
}

TEST_F(GraphicTest, LinearizeSetsAndMarksTheSpannedColumns) {
    struct {
        const char *name;
        int x1, y1, x2, y2;
        int first, last;             // marked columns
        int first_tempo, last_tempo; // tempos at first and last
    } cases[] = {
        {"ramp", col_x(5), Y_100, col_x(15), Y_140, 5, 15, 100, 140},
        {"drawn leftwards", col_x(15), Y_140, col_x(5), Y_100, 5, 15, 100, 140},
        {"one column", col_x(7), Y_100, col_x(7) + 3, Y_140, -1, -1, 0, 0},
        {"clipped left", 20, Y_100, col_x(5), Y_100, 0, 5, 100, 100},
        {"clipped right", col_x(60), Y_140, 700, Y_140, 60, 63, 140, 140},
        {"below the graph", col_x(0), 480, col_x(4), 480, 0, 4, 1, 1},
    };
    for (auto &c : cases) {
        init_graphic();
        std::fill(graphic_array, graphic_array + graphic_column, 120);
        graphic_linearize(c.x1, c.y1, c.x2, c.y2);
        for (int i = 0; i < graphic_column; i++) {
            bool in = c.first >= 0 && i >= c.first && i <= c.last;
            EXPECT_EQ(graphic_mask[i], in ? 1 : 0) << c.name << " column " << i;
            if (!in) {
                EXPECT_EQ(graphic_array[i], 120) << c.name << " column " << i;
            }
        }
        if (c.first >= 0) {
            EXPECT_EQ(graphic_array[c.first], c.first_tempo) << c.name;
            EXPECT_EQ(graphic_array[c.last], c.last_tempo) << c.name;
        }
    }
    init_graphic();
    graphic_linearize(col_x(5), Y_100, col_x(15), Y_140);
    for (int i = 5; i <= 15; i++)
        EXPECT_EQ(graphic_array[i], 100 + 4 * (i - 5)) << i;
}

TEST_F(GraphicTest, StrokesBecomeAStaircase) {
    struct {
        const char *name;
        int y1, y2;
        events expect;
    } cases[] = {
        {"100 to 140 over 10 columns",
         Y_100,
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
         Y_100,
         Y_110,
         {{0, 120}, {160, 100}, {288, 104}, {416, 108}, {512, 120}}},
    };
    for (auto &c : cases) {
        graphic_kill_m_events();
        init_graphic();
        stroke(col_x(5), c.y1, col_x(15), c.y2);
        EXPECT_EQ(working_list(), c.expect) << c.name;
    }
}

TEST_F(GraphicTest, StrokeReplacesOnlyTheEventsUnderIt) {
    add_tempo(nth(0), 300, 90);  // column 9: under the stroke
    add_tempo(nth(0), 600, 95);  // column 18: after it
    add_tempo(nth(1), 100, 130); // beyond the graph
    stroke(col_x(5), Y_100, col_x(15), Y_140);
    // After the stroke the tempo that was in force at column 16 (90) comes back, and each
    // event after it is repeated at the next column start, where the staircase samples it.
    events expect = {{0, 120},   {160, 100}, {192, 104}, {224, 108}, {256, 112}, {288, 116},
                     {320, 120}, {352, 124}, {384, 128}, {416, 132}, {448, 136}, {480, 140},
                     {512, 90},  {600, 95},  {608, 95},  {868, 130}, {896, 130}};
    EXPECT_EQ(working_list(), expect);
}

TEST_F(GraphicTest, StrokeAtTheLeftEdgeOfAScrolledGraph) {
    add_tempo(nth(1), 0, 90);
    graphic_x = 768;
    stroke(col_x(0), Y_100, col_x(2), Y_100);
    EXPECT_EQ(working_list(), (events{{0, 120}, {768, 100}, {864, 90}}));
}

TEST_F(GraphicTest, SavingWithoutAStrokeKeepsTheTempoMap) {
    add_tempo(nth(0), 0, 100);
    add_tempo(nth(2), 96, 70);
    graphic_load_m_event(&g_score);
    graphic_save_m_event(&g_score);
    EXPECT_EQ(measure_events(nth(0)), (events{{0, 120}, {0, 100}}));
    EXPECT_TRUE(measure_events(nth(1)).empty());
    EXPECT_EQ(measure_events(nth(2)), (events{{96, 70}}));
    EXPECT_EQ(g_score.measures.num, 3);
    EXPECT_EQ(get_x_tempo(&g_score, nth(0), 0, 1), 100);
}

TEST_F(GraphicTest, SavingBeyondTheEndAppendsMeasuresOfTheLastSignature) {
    reset_score(1, 2, 3, 4);
    set_measure(nth(1), 3, 4, -2);
    m_event *other = new_m_event();
    other->type = EVENT_KEY;
    _insert_sorted_m_event_list(&nth(1)->m_events, other, m_event_comp);
    add_tempo(nth(1), 0, 60);
    graphic_x = 1728;
    stroke(col_x(0), Y_100, col_x(20), Y_140);
    graphic_save_m_event(&g_score);
    // 3/4 measures are 576 ticks; the stroke ends at tick 1728 + 20 * 32 = 2368, measure 5.
    ASSERT_EQ(g_score.measures.num, 5);
    for (int i = 2; i < 5; i++) {
        EXPECT_EQ(nth(i)->num, 3);
        EXPECT_EQ(nth(i)->bit, 4);
        EXPECT_EQ(nth(i)->key, -2);
        EXPECT_GT(nth(i)->notes.num, 0) << "measure " << i << " holds its rests";
    }
    EXPECT_EQ(measure_events(nth(0)), (events{{0, 120}}));
    ASSERT_EQ(nth(1)->m_events.num, 2) << "the key event stays";
    EXPECT_EQ(nth(1)->m_events.head->type, EVENT_KEY);
    EXPECT_EQ(measure_events(nth(3)).front(), (std::pair<int, int>{0, 100}));
    // The stroke ends at 140 in column 20; column 21 goes back to the 60 in force before.
    events last = measure_events(nth(4));
    ASSERT_GE(last.size(), 2u);
    EXPECT_EQ(last[last.size() - 2], (std::pair<int, int>{2368 - 2304, 140}));
    EXPECT_EQ(last.back(), (std::pair<int, int>{2400 - 2304, 60}));
}

class GraphicDrawTest : public GraphicTest {
  protected:
    void SetUp() override {
        GraphicTest::SetUp();
        ASSERT_EQ(get_note_font(), 1);
        select_palette(the_palette);
        set_colors();
        buf = create_bitmap(640, 480);
        ASSERT_NE(buf, nullptr);
        clear_to_color(buf, bcol);
        init_graphic_button();
    }
    void TearDown() override {
        destroy_bitmap(buf);
        buf = nullptr;
        destroy_all_fonts();
        unselect_palette();
        GraphicTest::TearDown();
    }
};

TEST_F(GraphicDrawTest, FrameShowsBarsBeatsAndTheStaircase) {
    add_tempo(nth(1), 0, 80);
    graphic_load_m_event(&g_score);
    graphic_x = 384;
    graphic_list_to_array();
    graphic_draw(&g_score);
    EXPECT_EQ(graphic_seed_measure, nth(0));
    EXPECT_EQ(graphic_seed_measure_x, 0);
    int mid = 410 - 50;
    // Tick 768 (bar of measure 2) is column 12, tick 576 (a beat) column 6.
    EXPECT_EQ(getpixel(buf, 64 + 12 * 8, mid), fcol);
    EXPECT_EQ(getpixel(buf, 64 + 6 * 8, mid), gray_color);
    EXPECT_EQ(getpixel(buf, 64 + 3 * 8, mid), green_color);
    // 120 at y 185 up to column 12, then 80 at y 260.
    EXPECT_EQ(getpixel(buf, 64 + 5 * 8 + 3, 185), blue_color);
    EXPECT_EQ(getpixel(buf, 64 + 20 * 8 + 3, 260), blue_color);
    EXPECT_EQ(getpixel(buf, 64 + 12 * 8, 220), blue_color);
    EXPECT_EQ(getpixel(buf, 64 + 20 * 8 + 3, 190), bcol);
}

TEST_F(GraphicDrawTest, SeedMeasureBeyondTheEnd) {
    graphic_x = 3 * 768 + 800;
    graphic_list_to_array();
    graphic_draw(&g_score);
    EXPECT_EQ(graphic_seed_measure, nullptr);
    EXPECT_EQ(graphic_seed_measure_x, 4 * 768);
}

} // namespace
