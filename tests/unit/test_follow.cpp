// Tests of following the music: the time between spots along the tempo map, the play line's
// place in the view and its page turns, the loop taken from the selection, the metronome's
// clicks and their MIDI track, and the start of "play from cursor".
#include <allegro.h>
#include <gtest/gtest.h>

#include <vector>

#include "files/click_track.h"
#include "model/play_view.h"
#include "model/selection.h"
#include "model/view.h"
#include "playback/follow.h"

namespace {

class FollowTest : public ::testing::Test {
  protected:
    score s;
    std::vector<measure *> m;
    void SetUp() override {
        init_track_info(&g_score);
        g_score.track_num = 1;
        g_score.default_tempo = 120;
        init_score(&s);
        note_caret = {};
    }
    void TearDown() override { destroy_score(&s); }
    // Measures of the given signatures; each holds one shown note per beat in its own column.
    void build(std::vector<std::pair<int, int>> signatures) {
        for (auto [num, bit] : signatures) {
            measure *x = new_measure();
            set_measure(x, num, bit, 0);
            for (int k = 0; k < num; k++) {
                note *n = new_note();
                n->x = k * TICKS_PER_WHOLE / bit;
                n->len = n->total_len = static_cast<int16_t>(TICKS_PER_WHOLE / bit);
                n->pos.x = k;
                _insert_sorted_note_list(&x->notes, n, note_comp);
            }
            x->n_pos = static_cast<int16_t>(num + 1);
            get_measure_display_size(x);
            _append_measure_list(&s.measures, x);
            m.push_back(x);
        }
        s.ref_measure = m[0];
    }
    void tempo(int i, int x, int value) {
        m_event *e = new_m_event();
        e->x = x;
        e->type = EVENT_TEMPO;
        e->value = value;
        _insert_sorted_m_event_list(&m[i]->m_events, e, m_event_comp);
    }
};

// Milliseconds between spots and the spot after some milliseconds, both ways round, across
// tempo changes (inside a measure and at a bar line) and signature changes.
TEST_F(FollowTest, TimeAlongTheTempoMap) {
    build({{4, 4}, {3, 4}, {6, 8}, {4, 4}});
    tempo(1, 0, 60);
    tempo(2, 288, 240);
    struct {
        int from_m, from_x, to_m, to_x;
        double ms;
    } cases[] = {
        {0, 0, 0, 192, 500},           // a quarter at 120
        {0, 0, 1, 0, 2000},            // a 4/4 measure
        {0, 384, 1, 192, 1000 + 1000}, // half a measure at 120, a quarter at 60
        {1, 0, 2, 0, 3000},            // 3/4 at 60
        {2, 0, 2, 288, 1500},          // three eighths at 60
        {2, 288, 3, 0, 375},           // three eighths at 240
        {3, 0, 3, 768, 1000},          // the tempo of 240 goes on over the bar line
        {0, 0, 3, 768, 2000 + 3000 + 1500 + 375 + 1000},
    };
    for (const auto &c : cases) {
        play_spot from = {m[c.from_m], c.from_x}, to = {m[c.to_m], c.to_x};
        EXPECT_NEAR(ms_between(&s, from, to), c.ms, 0.01) << c.from_m << ":" << c.from_x;
        play_spot at = spot_after_ms(&s, from, c.ms + 0.5); // half a millisecond on
        EXPECT_TRUE((at.m == to.m && at.tick <= to.tick + 1) ||
                    (to.tick == 0 && at.m == to.m->prev && at.tick >= at.m->len - 1))
            << c.from_m << ":" << c.from_x;
        EXPECT_NEAR(ms_between(&s, from, at), c.ms, 2.0);
    }
    play_spot end = spot_after_ms(&s, {m[0], 0}, 1e9);
    EXPECT_EQ(end.m, m[3]);
    EXPECT_EQ(end.tick, 768);
}

// The line's x in the view: columns of the notes around the spot, measures before it, a key
// change's room; -1 before the view's first measure and beyond its width, where the page
// turns to the spot's measure.
TEST_F(FollowTest, LinePlaceAndPageTurn) {
    build({{4, 4}, {3, 4}, {6, 8}, {4, 4}}); // widths 150, 120, 210, 150
    m[2]->key = 2; // two key changes: 48 pixels more before measures 2 and 3
    struct {
        int ref, ref_px, spot_m, spot_x, span;
        int x;
        int page; // index of the view's first measure for the spot
    } cases[] = {
        {0, 0, 0, 0, 600, 0, 0},
        {0, 0, 0, 96, 600, 15, 0},        // half way to the next column
        {0, 0, 1, 192, 600, 150 + 30, 0}, // a measure of 4/4 before
        {0, 0, 2, 96, 600, 270 + 48 + 30, 0},
        {0, 60, 0, 192, 600, -1, 0}, // scrolled past: left of the view
        {0, 0, 3, 0, 600, 576, 0},
        {0, 0, 3, 0, 560, -1, 3},              // beyond the right edge: the page turns
        {1, 0, 0, 0, 600, -1, 0},              // before the view (a loop went round)
        {2, 0, 3, 192, 600, 210 + 48 + 30, 2}, // the first measure's own key takes no room
    };
    for (const auto &c : cases) {
        play_spot spot = {m[c.spot_m], c.spot_x};
        EXPECT_EQ(play_line_offset(m[c.ref], c.ref_px, spot, c.span), c.x)
            << c.spot_m << ":" << c.spot_x;
        measure *page = page_for_spot(m[c.ref], c.ref_px, spot, c.span);
        EXPECT_EQ(page, c.x >= 0 ? m[c.ref] : m[c.spot_m]);
        if (c.x >= 0) {
            EXPECT_EQ(page, m[c.page]);
        }
    }
}

// The loop: the selection's bounds, the last measure it touches, and when a spot reaches it.
TEST_F(FollowTest, LoopBoundsFromTheSelection) {
    build({{4, 4}, {4, 4}, {4, 4}});
    struct {
        int start_m, start_x, end_m, end_x;
        int valid;
        int last;
    } cases[] = {
        {0, 192, 0, 576, 1, 0}, {0, 0, 1, 0, 1, 0},  {0, 384, 2, 192, 1, 2},
        {1, 0, 1, 0, 0, -1},    {2, 0, 0, 0, 0, -1}, // empty, reversed
    };
    for (const auto &c : cases) {
        s.select_start = m[c.start_m];
        s.select_start_x = c.start_x;
        s.select_end = m[c.end_m];
        s.select_end_x = c.end_x;
        play_loop loop = {};
        ASSERT_EQ(loop_from_selection(&s, &loop), c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(loop.start.m, m[c.start_m]);
        EXPECT_EQ(loop.end.tick, c.end_x);
        EXPECT_EQ(loop_last_measure(loop), m[c.last]);
    }
    play_spot end = {m[1], 192};
    EXPECT_FALSE(spot_reached({m[0], 700}, end));
    EXPECT_FALSE(spot_reached({m[1], 191}, end));
    EXPECT_TRUE(spot_reached({m[1], 192}, end));
    EXPECT_TRUE(spot_reached({m[2], 0}, end));
}

// A click on each beat of the signature, the first accented; starting inside a measure skips
// the beats before.
TEST_F(FollowTest, ClicksOnTheBeats) {
    build({{4, 4}, {3, 4}, {6, 8}, {2, 2}, {5, 16}});
    struct {
        int measure;
        std::vector<int> ticks;
        int from_tick, first;
    } cases[] = {
        {0, {0, 192, 384, 576}, 1, 1},           {1, {0, 192, 384}, 192, 1},
        {2, {0, 96, 192, 288, 384, 480}, 97, 2}, {3, {0, 384}, 0, 0},
        {4, {0, 48, 96, 144, 192}, 240, 5},
    };
    for (const auto &c : cases) {
        measure *x = m[c.measure];
        ASSERT_EQ(measure_beats(x), static_cast<int>(c.ticks.size()));
        for (int k = 0; k < measure_beats(x); k++) {
            EXPECT_EQ(measure_click(x, k).tick, c.ticks[k]);
            EXPECT_EQ(measure_click(x, k).accent, k == 0);
        }
        EXPECT_EQ(first_click_from(x, c.from_tick), c.first);
    }
}

// The timing track: the clicks as note-on/note-off pairs on the percussion channel, then the
// end of the track exactly at the last bar line (MIDI ticks of 384 per quarter).
TEST_F(FollowTest, ClickTrackEndsAtTheLastBarLine) {
    build({{3, 4}, {2, 4}, {4, 4}});
    std::vector<unsigned char> bytes = click_track_bytes(m[0], m[1], 1, 0, 384);
    struct event {
        int time, status, key;
    };
    std::vector<event> events;
    int time = 0;
    size_t i = 0;
    int end_time = -1;
    while (i < bytes.size()) {
        int delta = 0;
        do
            delta = (delta << 7) | (bytes[i] & 0x7F);
        while (bytes[i++] & 0x80);
        time += delta;
        if (bytes[i] == 0xFF) {
            EXPECT_EQ(bytes[i + 1], 0x2F);
            end_time = time;
            break;
        }
        events.push_back({time, bytes[i], bytes[i + 1]});
        i += 3;
    }
    EXPECT_EQ(end_time, 5 * 384);
    std::vector<int> ons;
    for (const event &e : events)
        if (e.status == 0x99)
            ons.push_back(e.time);
    EXPECT_EQ(ons, (std::vector<int>{0, 384, 768, 1152, 1536}));
    EXPECT_EQ(events[0].key, CLICK_KEY_ACCENT);
    EXPECT_EQ(events.size(), 10u);
    std::vector<unsigned char> silent = click_track_bytes(m[0], m[2], 0, 0, 384);
    EXPECT_EQ(silent.size(), 2u + 3u); // one delta of 9 quarters, the end of the track
}

// "play from cursor" starts at the selection, else the caret, else the score cursor, else
// the view's first measure.
TEST_F(FollowTest, PlayFromCursorChoosesItsStart) {
    build({{4, 4}, {4, 4}, {4, 4}});
    s.ref_measure = m[1];
    play_spot spot = cursor_play_spot(&s);
    EXPECT_EQ(spot.m, m[1]);
    EXPECT_EQ(spot.tick, 0);
    s.cursor_measure = m[2];
    s.cursor_x = 192;
    EXPECT_EQ(cursor_play_spot(&s).m, m[2]);
    note_caret.shown = 1;
    note_caret.measure_index = 0;
    note_caret.x = 384;
    spot = cursor_play_spot(&s);
    EXPECT_EQ(spot.m, m[0]);
    EXPECT_EQ(spot.tick, 384);
    s.select_start = s.select_end = m[1];
    s.select_start_x = 96;
    s.select_end_x = 192;
    spot = cursor_play_spot(&s);
    EXPECT_EQ(spot.m, m[1]);
    EXPECT_EQ(spot.tick, 96);
    EXPECT_EQ(measure_number(&s, m[2]), 3);
}

} // namespace
