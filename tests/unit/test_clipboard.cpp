// Tests of the clipboard and the block edits on scores built in code: what a copy takes, where
// blend and solid pastes put it, what the deletes cut, key, transposition and track removal,
// and seeded random sequences of block edits that must keep the model's invariants.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "invariants.h"
#include "model/clipboard.h"
#include "model_core_helpers.h"

namespace {

using namespace model_test;

typedef std::tuple<int, int, int> sig;         // num, bit, key
typedef std::tuple<int, int, int, int> placed; // absolute start, length, pitch, track
typedef std::vector<placed> notes_t;
typedef std::vector<std::pair<int, int>> tempos_t; // absolute tick, tempo
const std::vector<sig> FOUR_4X4(4, sig{4, 4, 0});

notes_t sorted(notes_t v) {
    std::sort(v.begin(), v.end());
    return v;
}

// A validated score of these measures and tracks holding the notes {measure, x, len, pitch,
// track}, each entered whole and expanded as note entry does.
void build(const std::vector<sig> &sigs, const std::vector<std::array<int, 5>> &notes = {},
           int tracks = 1) {
    reset_score(tracks, int(sigs.size()));
    for (int i = 0; i < int(sigs.size()); i++) {
        auto [num, bit, key] = sigs[i];
        set_measure(nth(i), num, bit, key);
        validate_measure(nth(i));
    }
    for (auto [i, x, len, pitch, track] : notes)
        _note_expand_by_measure(&g_score, nth(i), add_note(nth(i), x, len, pitch, track), 1);
}
void add_tempo(int i, int x, int tempo) {
    m_event *e = new_m_event();
    e->x = x;
    e->type = EVENT_TEMPO;
    e->value = tempo;
    _insert_sorted_m_event_list(&nth(i)->m_events, e, m_event_comp);
}
void select(int i, int x, int j, int y) {
    g_score.select_start = nth(i);
    g_score.select_start_x = x;
    g_score.select_end = nth(j);
    g_score.select_end_x = y;
}
// Selects from (i, x) to the absolute tick end.
void select_to(int i, int x, int end) {
    select(i, x, i, 0);
    for (measure *m = nth(i); m; m = m->next)
        if (end < get_measure_x(&g_score, m) + m->len) {
            g_score.select_end = m;
            g_score.select_end_x = end - get_measure_x(&g_score, m);
            return;
        }
}
void cursor(int i, int x) {
    g_score.cursor_measure = nth(i);
    g_score.cursor_x = x;
}
notes_t notes() {
    std::string error;
    notes_t out;
    for (const whole_note &w : compressed_whole_notes(&g_score, &error))
        out.push_back({w.at, w.len, w.pitch, w.track});
    EXPECT_TRUE(error.empty()) << error;
    return sorted(out);
}
std::vector<sig> signatures() {
    std::vector<sig> out;
    for (measure *m = g_score.measures.head; m; m = m->next)
        out.push_back({m->num, m->bit, m->key});
    return out;
}
tempos_t tempos() {
    tempos_t out;
    for (measure *m = g_score.measures.head; m; m = m->next)
        for (m_event *e = m->m_events.head; e; e = e->next)
            out.push_back({get_measure_x(&g_score, m) + e->x, e->value});
    return out;
}
int copy() {
    return copy_events(&g_score, &clip_board_measure, &clip_board_length);
}
void validate_all() {
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
}

class ClipboardTest : public ::testing::Test {
  protected:
    void SetUp() override { init_measure(&clip_board_measure); }
    void TearDown() override {
        destroy_measure(&clip_board_measure);
        init_measure(&clip_board_measure);
        release_score();
        g_score.track_num = 1;
        init_track_info(&g_score);
        update_active_tracks();
    }
};

struct copy_case {
    int from, from_x, to, to_x;
    notes_t copied; // clipboard notes as (x, len, pitch, track)
    int length;
};

// In 4/4: a half at 0 and a half at 576 (tied over the bar line), a quarter at 768 + 384.
TEST_F(ClipboardTest, CopyTakesTheNotesStartingInsideWhole) {
    const copy_case cases[] = {
        {0, 192, 2, 0, {{384, 384, 2, 0}, {960, 192, 4, 0}}, 1344},
        {1, 0, 2, 0, {{384, 192, 4, 0}}, 768}, // starts inside the tied half: none of it
        {0, 0, 0, 600, {{0, 384, 0, 0}, {576, 384, 2, 0}}, 600},
        {1, 384, 1, 384, {}, 0},
    };
    for (const copy_case &c : cases) {
        build(FOUR_4X4, {{0, 0, 384, 0, 0}, {0, 576, 384, 2, 0}, {1, 384, 192, 4, 0}});
        select(c.from, c.from_x, c.to, c.to_x);
        ASSERT_EQ(copy(), 1);
        notes_t copied;
        for (note *n = clip_board_measure.notes.head; n; n = n->next)
            copied.push_back({n->x, n->len, n->pitch, n->track});
        EXPECT_EQ(copied, c.copied) << c.from_x;
        EXPECT_EQ(clip_board_length, c.length);
        EXPECT_EQ(clip_board_measure.m_events.tail->type, EVENT_SELECT_END);
        EXPECT_EQ(clip_board_measure.m_events.tail->x, c.length);
    }
    select(2, 0, 1, 0);
    EXPECT_EQ(copy(), 0);
}

TEST_F(ClipboardTest, BlendPasteDropsTracksBeyondTheShownOnes) {
    build(FOUR_4X4, {{0, 0, 192, 0, 0}, {0, 192, 192, 1, 1}, {0, 384, 192, 2, 2}}, 3);
    select(0, 0, 1, 0);
    copy();
    g_score.tracks[1].active = 0;
    update_active_tracks();
    EXPECT_EQ(paste_events_blend(&g_score, &clip_board_measure, nth(2), 0), 2);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(notes(), sorted({{0, 192, 0, 0},
                               {192, 192, 1, 1},
                               {384, 192, 2, 2},
                               {1536, 192, 0, 0},
                               {1728, 192, 1, 2}}));
    EXPECT_EQ(g_score.cursor_measure, nullptr);
    EXPECT_EQ(paste_end_measure, nth(3));
}

TEST_F(ClipboardTest, BlendPastePastTheEndAppendsTheCopiedSignatures) {
    build({{4, 4, 1}, {3, 4, 2}, {2, 4, 3}}, {{0, 0, 768, 0, 0}, {1, 0, 576, 5, 0}});
    add_tempo(1, 192, 90);
    select(0, 0, 2, 0);
    copy();
    EXPECT_EQ(paste_events_blend(&g_score, &clip_board_measure, nth(2), 0), 3);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(signatures(),
              (std::vector<sig>{{4, 4, 1}, {3, 4, 2}, {2, 4, 3}, {4, 4, 1}, {3, 4, 2}}));
    EXPECT_EQ(notes(),
              sorted({{0, 768, 0, 0}, {768, 576, 5, 0}, {1344, 768, 0, 0}, {2112, 576, 5, 0}}));
    EXPECT_EQ(tempos(), (tempos_t{{960, 90}, {2304, 90}}));
    EXPECT_EQ(paste_end_measure, nth(4));
    EXPECT_EQ(paste_end_x, 192);
}

// Deleted notes go whole; the measure a deleted note was tied into gets its rests back.
TEST_F(ClipboardTest, BlendDeleteRemovesSelectedNotesOfShownTracks) {
    build(FOUR_4X4,
          {{0, 0, 192, 0, 0}, {0, 576, 384, 1, 0}, {1, 0, 192, 2, 1}, {1, 384, 768, 3, 0}}, 2);
    add_tempo(1, 0, 100); // kept while a track is hidden
    g_score.tracks[1].active = 0;
    update_active_tracks();
    select(0, 384, 1, 576);
    EXPECT_EQ(delete_events_blend(&g_score), 1);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(notes(), sorted({{0, 192, 0, 0}, {768, 192, 2, 1}}));
    EXPECT_EQ(tempos().size(), 1u);
    g_score.tracks[1].active = 1;
    select(1, 0, 1, 192);
    EXPECT_EQ(delete_events_blend(&g_score), 1);
    EXPECT_TRUE(tempos().empty());
    select(3, 0, 3, 768);
    EXPECT_EQ(delete_events_blend(&g_score), 0) << "only rests there";
}

struct solid_delete_case {
    std::vector<sig> before;
    int from, from_x, to, to_x;
    std::vector<sig> after;
};

// A quarter at the start of every measure, pitch = measure index; tempo 90 at measure 2.
TEST_F(ClipboardTest, SolidDeleteMovesTheRestEarlier) {
    const solid_delete_case cases[] = {
        // the cut measure takes its predecessor's signature; no empty measure is left behind
        {{{4, 4, 2}, {3, 4, -1}, {4, 4, 0}, {4, 4, 0}},
         1,
         0,
         2,
         0,
         {{4, 4, 2}, {4, 4, 2}, {4, 4, 0}}},
        {FOUR_4X4, 1, 0, 3, 0, {{4, 4, 0}, {4, 4, 0}}},
        {FOUR_4X4, 1, 192, 1, 384, FOUR_4X4},
        {FOUR_4X4, 0, 0, 1, 0, {{4, 4, 0}, {4, 4, 0}, {4, 4, 0}}},
    };
    for (const solid_delete_case &c : cases) {
        build(c.before,
              {{0, 0, 192, 0, 0}, {1, 0, 192, 1, 0}, {2, 0, 192, 2, 0}, {3, 0, 192, 3, 0}});
        add_tempo(2, 0, 90);
        select(c.from, c.from_x, c.to, c.to_x);
        int cut = get_measure_x(&g_score, nth(c.from)) + c.from_x;
        int span = get_seletion_length(&g_score);
        notes_t want;
        for (auto [at, len, pitch, track] : notes())
            if (at < cut || at >= cut + span)
                want.push_back({at < cut ? at : at - span, len, pitch, track});
        tempos_t want_tempos;
        for (auto [at, tempo] : tempos())
            if (at < cut || at >= cut + span)
                want_tempos.push_back({at < cut ? at : at - span, tempo});
        EXPECT_EQ(delete_events_solid(&g_score), 1);
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(notes(), want) << cut;
        EXPECT_EQ(signatures(), c.after) << cut;
        EXPECT_EQ(tempos(), want_tempos) << cut;
        EXPECT_EQ(g_score.select_start, nullptr);
        EXPECT_NE(g_score.ref_measure, nullptr);
    }
}

// A reversed selection, or a solid paste before anything was copied: nothing moves.
TEST_F(ClipboardTest, SolidEditsRefuseWithoutMaterial) {
    build(FOUR_4X4, {{1, 0, 192, 0, 0}});
    select(2, 0, 1, 0);
    EXPECT_EQ(delete_events_solid(&g_score), 0);
    cursor(0, 192);
    EXPECT_EQ(paste_events_solid(&g_score), 0);
    EXPECT_EQ(notes(), sorted({{768, 192, 0, 0}}));
    EXPECT_EQ(g_score.measures.num, 4);
    EXPECT_EQ(g_score.cursor_measure, nth(0));
}

struct round_trip_case {
    int from, from_x, to, to_x; // copied
    int at, at_x;               // pasted
    int measures_after;         // a paste ending inside a measure leaves it, empty
};

TEST_F(ClipboardTest, SolidPasteThenSolidDeleteGivesTheScoreBack) {
    const round_trip_case cases[] = {
        {1, 0, 3, 0, 3, 0, 5},
        {0, 192, 0, 576, 1, 192, 6},
        {2, 0, 3, 384, 0, 0, 6},
    };
    for (const round_trip_case &c : cases) {
        build(std::vector<sig>(5, sig{4, 4, 0}),
              {{0, 0, 384, 0, 0}, {0, 576, 384, 2, 1}, {1, 192, 96, 4, 0}, {2, 0, 1536, 5, 1}}, 2);
        add_tempo(2, 192, 80);
        notes_t before = notes();
        tempos_t tempos_before = tempos();
        select(c.from, c.from_x, c.to, c.to_x);
        copy();
        cursor(c.at, c.at_x);
        ASSERT_EQ(paste_events_solid(&g_score), 1);
        ASSERT_TRUE(score_invariants(&g_score));
        int at = get_measure_x(&g_score, nth(c.at)) + c.at_x;
        notes_t now = notes();
        for (auto [start, len, pitch, track] : before) {
            placed moved{start + clip_board_length, len, pitch, track};
            EXPECT_TRUE(start < at || std::count(now.begin(), now.end(), moved)) << start;
        }
        EXPECT_EQ(g_score.cursor_measure, nullptr);
        select_to(c.at, c.at_x, at + clip_board_length);
        ASSERT_EQ(delete_events_solid(&g_score), 1);
        ASSERT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(notes(), before) << at;
        EXPECT_EQ(tempos(), tempos_before) << at;
        EXPECT_EQ(g_score.measures.num, c.measures_after) << at;
        for (measure *m = nth(5); m; m = m->next)
            EXPECT_EQ(count_elements(m, false), 0);
    }
}

struct transpose_case {
    int pitch, semitones, want, changed;
};

TEST_F(ClipboardTest, TransposeStaysOnTheKeyboard) {
    const transpose_case cases[] = {
        {60, 12, 67, 1}, {0, 12, 12, 1}, {-55, -12, -60, 1}, {5, 0, 5, 0}, {67, 1, 67, 0},
    };
    for (const transpose_case &c : cases) {
        build(FOUR_4X4, {{0, 192, 192, c.pitch, 0}});
        select(0, 0, 1, 0);
        EXPECT_EQ(transpose(&g_score, c.semitones), c.changed) << c.pitch;
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(notes(), sorted({{192, 192, c.want, 0}}));
    }
    // Each piece is judged by its own position; a tie between pitches that differ now is cut.
    build(FOUR_4X4, {{0, 576, 384, 0, 0}});
    select(1, 0, 2, 0);
    EXPECT_EQ(transpose(&g_score, 2), 1);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(notes(), sorted({{576, 192, 0, 0}, {768, 192, 2, 0}}));
}

TEST_F(ClipboardTest, SetKeyReKeysWholeMeasuresOnly) {
    build(FOUR_4X4, {{0, 0, 192, 6, 0}, {1, 0, 192, 6, 0}, {2, 0, 192, 6, 0}});
    select(0, 192, 2, 0);
    EXPECT_EQ(set_key(&g_score, -3), 1);
    EXPECT_EQ(signatures(), (std::vector<sig>{{4, 4, 0}, {4, 4, -3}, {4, 4, 0}, {4, 4, 0}}));
    EXPECT_EQ(nth(1)->notes.head->accidental, -1) << "a flat in the flat key";
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(set_key(&g_score, -3), 0);
}

TEST_F(ClipboardTest, RemovingTracksRenumbersAndKeepsOne) {
    build(FOUR_4X4, {{0, 0, 192, 0, 0}, {0, 0, 192, 1, 1}, {0, 0, 192, 2, 2}}, 3);
    g_score.tracks[0].patch = 12;
    g_score.tracks[0].active = 0;
    g_score.tracks[1].remove = 1;
    EXPECT_EQ(remove_checked_track(&g_score), 2);
    validate_all();
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(notes(), sorted({{0, 192, 0, 0}, {0, 192, 2, 1}}));
    g_score.tracks[0].remove = g_score.tracks[1].remove = 1;
    EXPECT_EQ(remove_checked_track(&g_score), 1);
    EXPECT_EQ(g_score.tracks[0].patch, 12);
    EXPECT_EQ(g_score.tracks[0].active, 1u);
    EXPECT_EQ(g_score.tracks[0].remove, 0u);
    validate_all();
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_TRUE(notes().empty());
}

constexpr int EDITS = 80;
constexpr int MAX_MEASURES = 40;
constexpr int ROLLS = 11; // seven block edits; the other rolls enter a note

// Seeded random block edits over measures of mixed signatures, with a track shown and hidden.
class BlockEditSequence : public ClipboardTest, public ::testing::WithParamInterface<int> {
  protected:
    std::mt19937 gen;
    int pick(int n) { return int(gen() % uint32_t(n)); }
    int random_x(measure *m) { return 48 * pick(m->len / 48); }
    measure *random_measure() { return nth(pick(g_score.measures.num)); }

    void enter() {
        const int lengths[] = {192, 384, 96, 576, 768, 240, 64};
        measure *m = random_measure();
        note *n = add_note(m, random_x(m), lengths[pick(7)], pick(25) - 12, pick(3));
        _note_expand_by_measure(&g_score, m, n, 1);
    }
    void random_selection() {
        measure *a = random_measure(), *b = random_measure();
        int ax = random_x(a), bx = random_x(b);
        if (!well_ordered(a, ax, b, bx))
            std::swap(a, b), std::swap(ax, bx);
        if (!well_ordered(a, ax, b, bx))
            std::swap(ax, bx);
        select(get_pos_by_measure(&g_score, a), ax, get_pos_by_measure(&g_score, b), bx);
    }
    // Returns 1 when the edit changed something.
    int edit(int roll) {
        if (roll >= 1 && roll <= 2 && clip_board_empty()) {
            random_selection();
            copy();
        }
        random_selection();
        cursor(get_pos_by_measure(&g_score, g_score.select_end), g_score.select_end_x);
        switch (roll) {
        case 0:
            return copy();
        case 1:
            return paste_events_blend(&g_score, &clip_board_measure, g_score.cursor_measure,
                                      g_score.cursor_x) > 0;
        case 2:
            return paste_events_solid(&g_score);
        case 3:
            return delete_events_blend(&g_score);
        case 4:
            return delete_events_solid(&g_score);
        case 5:
            return transpose(&g_score, pick(15) - 7);
        case 6:
            return set_key(&g_score, pick(15) - 7);
        default:
            enter();
            return 1;
        }
    }
};

TEST_P(BlockEditSequence, KeepsTheInvariants) {
    gen.seed(GetParam());
    build({{4, 4, 0}, {3, 4, 2}, {6, 8, -1}, {2, 4, 0}, {5, 4, 3}}, {}, 3);
    for (int i = 0; i < 12; i++)
        enter();
    int done[ROLLS] = {};
    for (int i = 0; i < EDITS; i++) {
        g_score.tracks[2].active = pick(4) != 0;
        update_active_tracks();
        validate_all(); // as the track dialog does
        int roll = pick(ROLLS);
        done[roll] += edit(roll);
        ASSERT_TRUE(score_invariants(&g_score)) << "edit " << i << " of kind " << roll;
        notes();
        if (g_score.measures.num > MAX_MEASURES) {
            select(MAX_MEASURES / 2, 0, g_score.measures.num - 1, 0);
            delete_events_solid(&g_score);
        }
    }
    for (int kind = 1; kind <= 5; kind++)
        EXPECT_GT(done[kind], 0) << "edit kind " << kind << " never changed anything";
}

INSTANTIATE_TEST_SUITE_P(Seeds, BlockEditSequence, ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8));

} // namespace
