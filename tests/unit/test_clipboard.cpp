// Tests of the clipboard and the block edits on scores built in code: what a copy takes, where
// blend and solid pastes put it, what the deletes cut, key, transposition and track removal,
// and seeded random sequences of block edits that must keep the model's invariants.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "invariants.h"
#include "model/clipboard.h"
#include "model_core_helpers.h"

namespace {

using namespace model_test;

struct sig {
    int num, bit, key;
};
bool operator==(const sig &a, const sig &b) {
    return a.num == b.num && a.bit == b.bit && a.key == b.key;
}
std::ostream &operator<<(std::ostream &o, const sig &g) {
    return o << g.num << "/" << g.bit << " key " << g.key;
}

// A note by its absolute tick: start, length, pitch, track.
typedef std::tuple<int, int, int, int> placed;

std::vector<placed> sorted(std::vector<placed> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class ClipboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        init_measure(&clip_board_measure);
        clip_board_length = 0;
    }
    void TearDown() override {
        destroy_measure(&clip_board_measure);
        init_measure(&clip_board_measure);
        release_score();
        track_num = 1;
        init_track_info();
        update_active_tracks();
    }

    // A validated score of the given measures and tracks.
    void build(const std::vector<sig> &sigs, int tracks = 1) {
        reset_score(tracks, int(sigs.size()));
        for (int i = 0; i < int(sigs.size()); i++)
            set_measure(nth(i), sigs[i].num, sigs[i].bit, sigs[i].key);
        for (measure *m = g_score.measures.head; m; m = m->next)
            validate_measure(m);
    }
    // Enters a whole note and expands it, as note entry does.
    void put(int i, int x, int len, int pitch = 0, int track = 0) {
        note *n = add_note(nth(i), x, len, pitch, track);
        _note_expand_by_measure(&g_score, nth(i), n, 1);
    }
    void select(int i, int x, int j, int y) {
        g_score.select_start = nth(i);
        g_score.select_start_x = x;
        g_score.select_end = nth(j);
        g_score.select_end_x = y;
    }
    void cursor(int i, int x) {
        g_score.cursor_measure = nth(i);
        g_score.cursor_x = x;
    }

    std::vector<placed> notes() {
        std::string error;
        std::vector<placed> out;
        for (const whole_note &w : compressed_whole_notes(&g_score, &error))
            out.push_back({w.at, w.len, w.pitch, w.track});
        EXPECT_TRUE(error.empty()) << error;
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<sig> signatures() {
        std::vector<sig> out;
        for (measure *m = g_score.measures.head; m; m = m->next)
            out.push_back({m->num, m->bit, m->key});
        return out;
    }
    // Tempo events as (absolute tick, tempo).
    std::vector<std::pair<int, int>> tempos() {
        std::vector<std::pair<int, int>> out;
        for (measure *m = g_score.measures.head; m; m = m->next)
            for (m_event *e = m->m_events.head; e; e = e->next)
                out.push_back({get_measure_x(&g_score, m) + e->x, e->value});
        return out;
    }
    void add_tempo(int i, int x, int tempo) {
        m_event *e = new_m_event();
        e->x = x;
        e->type = EVENT_TEMPO;
        e->value = tempo;
        _insert_sorted_m_event_list(&nth(i)->m_events, e, m_event_comp);
    }
    // Clipboard notes as (x, len, pitch, track).
    std::vector<placed> clipboard_notes() {
        std::vector<placed> out;
        for (note *n = clip_board_measure.notes.head; n; n = n->next)
            out.push_back({n->x, n->len, n->pitch, n->track});
        return out;
    }
};

const std::vector<sig> FOUR_4X4 = {{4, 4, 0}, {4, 4, 0}, {4, 4, 0}, {4, 4, 0}};

// Score of the copy cases: in 4/4, a half at 0 and a half at 576 (tied over the bar line) in
// measure 0, a quarter at 384 in measure 1.
struct copy_case {
    const char *name;
    int from, from_x, to, to_x;
    std::vector<placed> copied;
    int length;
};

TEST_F(ClipboardTest, CopyTakesTheNotesStartingInsideWhole) {
    const copy_case cases[] = {
        {"starts inside the first half", 0, 192, 2, 0, {{384, 384, 2, 0}, {960, 192, 4, 0}}, 1344},
        {"starts inside the tied half", 1, 0, 2, 0, {{384, 192, 4, 0}}, 768},
        {"ends inside the tied half", 0, 0, 0, 600, {{0, 384, 0, 0}, {576, 384, 2, 0}}, 600},
        {"empty selection", 1, 384, 1, 384, {}, 0},
    };
    for (const copy_case &c : cases) {
        build({{4, 4, 0}, {4, 4, 0}, {4, 4, 0}});
        put(0, 0, 384, 0);
        put(0, 576, 384, 2);
        put(1, 384, 192, 4);
        select(c.from, c.from_x, c.to, c.to_x);
        ASSERT_EQ(copy_events(&g_score, &clip_board_measure, &clip_board_length), 1) << c.name;
        EXPECT_EQ(clipboard_notes(), c.copied) << c.name;
        EXPECT_EQ(clip_board_length, c.length) << c.name;
        EXPECT_FALSE(clip_board_empty()) << c.name;
        m_event *end = clip_board_measure.m_events.tail;
        EXPECT_EQ(end->type, EVENT_SELECT_END) << c.name;
        EXPECT_EQ(end->x, c.length) << c.name;
    }
}

TEST_F(ClipboardTest, CopyNeedsAValidSelection) {
    build(FOUR_4X4);
    EXPECT_TRUE(clip_board_empty());
    select(2, 0, 1, 0);
    EXPECT_EQ(copy_events(&g_score, &clip_board_measure, &clip_board_length), 0);
    EXPECT_TRUE(clip_board_empty());
}

TEST_F(ClipboardTest, CopyStoresTheRankOfEachShownTrack) {
    build(FOUR_4X4, 3);
    put(0, 0, 192, 0, 0);
    put(0, 0, 192, 1, 1);
    put(0, 0, 192, 2, 2);
    track_info[0].active = 0;
    update_active_tracks();
    select(0, 0, 1, 0);
    copy_events(&g_score, &clip_board_measure, &clip_board_length);
    EXPECT_EQ(clipboard_notes(), (std::vector<placed>{{0, 192, 1, 0}, {0, 192, 2, 1}}));
}

// Three tracks copied; the paste goes where fewer tracks are shown.
TEST_F(ClipboardTest, BlendPasteDropsTracksBeyondTheShownOnes) {
    build(FOUR_4X4, 3);
    put(0, 0, 192, 0, 0);
    put(0, 192, 192, 1, 1);
    put(0, 384, 192, 2, 2);
    select(0, 0, 1, 0);
    copy_events(&g_score, &clip_board_measure, &clip_board_length);
    track_info[1].active = 0;
    update_active_tracks();
    EXPECT_EQ(paste_events_blend(&g_score, &clip_board_measure, nth(2), 0), 2);
    EXPECT_TRUE(score_invariants(&g_score));
    std::vector<placed> want = {
        {0, 192, 0, 0}, {192, 192, 1, 1}, {384, 192, 2, 2}, {1536, 192, 0, 0}, {1728, 192, 1, 2}};
    EXPECT_EQ(notes(), sorted(want));
    EXPECT_EQ(g_score.cursor_measure, nullptr);
    EXPECT_EQ(paste_end_measure, nth(3));
    EXPECT_EQ(paste_end_x, 0);
}

TEST_F(ClipboardTest, BlendPastePastTheEndAppendsTheCopiedSignatures) {
    build({{4, 4, 1}, {3, 4, 2}, {2, 4, 3}});
    put(0, 0, 768, 0);
    put(1, 0, 576, 5);
    add_tempo(1, 192, 90);
    select(0, 0, 2, 0);
    copy_events(&g_score, &clip_board_measure, &clip_board_length);
    EXPECT_EQ(paste_events_blend(&g_score, &clip_board_measure, nth(2), 0), 3);
    EXPECT_TRUE(score_invariants(&g_score));
    std::vector<sig> want = {{4, 4, 1}, {3, 4, 2}, {2, 4, 3}, {4, 4, 1}, {3, 4, 2}};
    EXPECT_EQ(signatures(), want);
    EXPECT_EQ(notes(),
              sorted({{0, 768, 0, 0}, {768, 576, 5, 0}, {1344, 768, 0, 0}, {2112, 576, 5, 0}}));
    EXPECT_EQ(tempos(), (std::vector<std::pair<int, int>>{{960, 90}, {2304, 90}}));
    EXPECT_EQ(paste_end_measure, nth(4));
    EXPECT_EQ(paste_end_x, 192);
}

TEST_F(ClipboardTest, BlendPasteNeedsAMeasureAndAShownTrack) {
    build(FOUR_4X4);
    put(0, 0, 192);
    select(0, 0, 1, 0);
    copy_events(&g_score, &clip_board_measure, &clip_board_length);
    EXPECT_EQ(paste_events_blend(&g_score, &clip_board_measure, nullptr, 0), 0);
    track_info[0].active = 0;
    EXPECT_EQ(paste_events_blend(&g_score, &clip_board_measure, nth(1), 0), 0);
    EXPECT_EQ(notes().size(), 1u);
}

// Blend delete: the selected notes of shown tracks go, whole, and time stays.
TEST_F(ClipboardTest, BlendDeleteRemovesSelectedNotesOfShownTracks) {
    build(FOUR_4X4, 2);
    put(0, 0, 192, 0, 0);   // before the selection, kept
    put(0, 576, 384, 1, 0); // starts inside, ties into measure 1: deleted whole
    put(1, 0, 192, 2, 1);   // hidden track, kept
    put(1, 384, 768, 3, 0); // starts before the end, runs past it: deleted whole
    add_tempo(1, 0, 100);   // kept: not every track is shown
    track_info[1].active = 0;
    update_active_tracks();
    select(0, 384, 1, 576);
    EXPECT_EQ(delete_events_blend(&g_score), 1);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(notes(), sorted({{0, 192, 0, 0}, {768, 192, 2, 1}}));
    EXPECT_EQ(tempos().size(), 1u);
    EXPECT_EQ(g_score.measures.num, 4);

    track_info[1].active = 1;
    select(1, 0, 1, 192);
    EXPECT_EQ(delete_events_blend(&g_score), 1);
    EXPECT_TRUE(tempos().empty());
    select(3, 0, 3, 768);
    EXPECT_EQ(delete_events_blend(&g_score), 0) << "only rests there";
}

struct solid_delete_case {
    const char *name;
    std::vector<sig> before;
    int from, from_x, to, to_x;
    std::vector<sig> after;
};

// One quarter at the start of every measure, pitch = measure index; tempo 90 at the start of
// measure 2.
TEST_F(ClipboardTest, SolidDeleteMovesTheRestEarlier) {
    const solid_delete_case cases[] = {
        {"whole measure takes its predecessor's signature",
         {{4, 4, 2}, {3, 4, -1}, {4, 4, 0}, {4, 4, 0}},
         1,
         0,
         2,
         0,
         {{4, 4, 2}, {4, 4, 2}, {4, 4, 0}}},
        {"two of equal measures leave no empty measure",
         FOUR_4X4,
         1,
         0,
         3,
         0,
         {{4, 4, 0}, {4, 4, 0}}},
        {"inside one measure", FOUR_4X4, 1, 192, 1, 384, FOUR_4X4},
        {"first measure", FOUR_4X4, 0, 0, 1, 0, {{4, 4, 0}, {4, 4, 0}, {4, 4, 0}}},
    };
    for (const solid_delete_case &c : cases) {
        build(c.before);
        for (int i = 0; i < int(c.before.size()); i++)
            put(i, 0, 192, i);
        add_tempo(2, 0, 90);
        select(c.from, c.from_x, c.to, c.to_x);
        int cut = get_measure_x(&g_score, nth(c.from)) + c.from_x;
        int span = get_seletion_length(&g_score);
        std::vector<placed> want;
        for (const placed &p : notes()) {
            int at = std::get<0>(p);
            if (at < cut)
                want.push_back(p);
            else if (at >= cut + span)
                want.push_back({at - span, std::get<1>(p), std::get<2>(p), std::get<3>(p)});
        }
        std::vector<std::pair<int, int>> want_tempos;
        for (auto [at, tempo] : tempos())
            if (at < cut || at >= cut + span)
                want_tempos.push_back({at < cut ? at : at - span, tempo});
        cursor(0, 0);
        EXPECT_EQ(delete_events_solid(&g_score), 1) << c.name;
        EXPECT_TRUE(score_invariants(&g_score)) << c.name;
        EXPECT_EQ(notes(), want) << c.name;
        EXPECT_EQ(signatures(), c.after) << c.name;
        EXPECT_EQ(tempos(), want_tempos) << c.name;
        EXPECT_EQ(g_score.select_start, nullptr) << c.name;
        EXPECT_EQ(g_score.cursor_measure, nullptr) << c.name;
        EXPECT_NE(g_score.ref_measure, nullptr) << c.name;
    }
}

TEST_F(ClipboardTest, SolidDeleteOfAReversedSelectionDoesNothing) {
    build(FOUR_4X4);
    put(1, 0, 192);
    select(2, 0, 1, 0);
    EXPECT_EQ(delete_events_solid(&g_score), 0);
    EXPECT_EQ(notes(), sorted({{768, 192, 0, 0}}));
    EXPECT_EQ(g_score.measures.num, 4);
}

TEST_F(ClipboardTest, SolidPasteBeforeAnyCopyMovesNothing) {
    build(FOUR_4X4);
    put(1, 0, 192);
    cursor(0, 192);
    EXPECT_EQ(paste_events_solid(&g_score), 0);
    EXPECT_EQ(notes(), sorted({{768, 192, 0, 0}}));
    EXPECT_EQ(g_score.measures.num, 4);
    EXPECT_EQ(g_score.cursor_measure, nth(0));
}

struct round_trip_case {
    const char *name;
    int from, from_x, to, to_x; // what is copied
    int at, at_x;               // where it is pasted
    int measures_after;         // of the five
};

// Copy, solid paste at the cursor, then a solid delete of what was pasted: the score is back.
TEST_F(ClipboardTest, SolidPasteThenSolidDeleteGivesTheScoreBack) {
    const round_trip_case cases[] = {
        {"whole measures", 1, 0, 3, 0, 3, 0, 5},
        {"part of a measure", 0, 192, 0, 576, 1, 192, 6},
        {"into the first measure", 2, 0, 3, 384, 0, 0, 6},
    };
    for (const round_trip_case &c : cases) {
        build({{4, 4, 0}, {4, 4, 0}, {4, 4, 0}, {4, 4, 0}, {4, 4, 0}}, 2);
        put(0, 0, 384, 0, 0);
        put(0, 576, 384, 2, 1); // tied over the bar line
        put(1, 192, 96, 4, 0);
        put(2, 0, 1536, 5, 1); // two measures long
        put(3, 384, 192, 7, 0);
        add_tempo(2, 192, 80);
        std::vector<placed> before = notes();
        auto tempos_before = tempos();
        select(c.from, c.from_x, c.to, c.to_x);
        copy_events(&g_score, &clip_board_measure, &clip_board_length);
        cursor(c.at, c.at_x);
        ASSERT_EQ(paste_events_solid(&g_score), 1) << c.name;
        ASSERT_TRUE(score_invariants(&g_score)) << c.name;
        int at = get_measure_x(&g_score, nth(c.at)) + c.at_x;
        int end = at + clip_board_length;
        EXPECT_EQ(g_score.select_start, nullptr) << c.name;
        EXPECT_EQ(g_score.cursor_measure, nullptr) << c.name;
        for (const placed &p : before)
            if (std::get<0>(p) >= at) {
                placed moved{std::get<0>(p) + clip_board_length, std::get<1>(p), std::get<2>(p),
                             std::get<3>(p)};
                std::vector<placed> now = notes();
                EXPECT_NE(std::find(now.begin(), now.end(), moved), now.end()) << c.name;
            }
        select(c.at, c.at_x, 0, 0);
        g_score.select_end = nth(0);
        for (measure *m = g_score.measures.head; m; m = m->next) {
            if (end < get_measure_x(&g_score, m) + m->len) {
                g_score.select_end = m;
                g_score.select_end_x = end - get_measure_x(&g_score, m);
                break;
            }
        }
        ASSERT_EQ(delete_events_solid(&g_score), 1) << c.name;
        ASSERT_TRUE(score_invariants(&g_score)) << c.name;
        EXPECT_EQ(notes(), before) << c.name;
        EXPECT_EQ(tempos(), tempos_before) << c.name;
        // A paste that ended inside a measure grew the score by a measure that stays, empty.
        measure *last = nth(4);
        for (measure *m = last ? last->next : nullptr; m; m = m->next)
            EXPECT_EQ(count_elements(m, false) + m->m_events.num, 0) << c.name;
        EXPECT_EQ(g_score.measures.num, c.measures_after) << c.name;
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
        build(FOUR_4X4);
        put(0, 192, 192, c.pitch);
        select(0, 0, 1, 0);
        EXPECT_EQ(transpose(&g_score, c.semitones), c.changed) << c.pitch << " " << c.semitones;
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(notes(), sorted({{192, 192, c.want, 0}}));
    }
}

// Each piece is judged by its own position; a tie between pieces that no longer share a pitch
// is cut, so that both parts stay what they show.
TEST_F(ClipboardTest, TransposingPartOfATiedNoteSplitsIt) {
    build(FOUR_4X4);
    put(0, 576, 384, 0); // 192 in measure 0 tied to 192 in measure 1
    put(0, 0, 192, 4);
    select(1, 0, 2, 0);
    EXPECT_EQ(transpose(&g_score, 2), 1);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(notes(), sorted({{0, 192, 4, 0}, {576, 192, 0, 0}, {768, 192, 2, 0}}));
}

TEST_F(ClipboardTest, SetKeyReKeysWholeMeasuresOnly) {
    build(FOUR_4X4);
    put(0, 0, 192, 6);
    put(1, 0, 192, 6);
    put(2, 0, 192, 6);
    select(0, 192, 2, 0);
    EXPECT_EQ(set_key(&g_score, -3), 1);
    EXPECT_EQ(signatures(), (std::vector<sig>{{4, 4, 0}, {4, 4, -3}, {4, 4, 0}, {4, 4, 0}}));
    note *n = nth(1)->notes.head;
    EXPECT_EQ(n->accidental, -1) << "spelled as a flat in the flat key";
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(set_key(&g_score, -3), 0) << "nothing changes the second time";
    select(1, 192, 1, 384);
    EXPECT_EQ(set_key(&g_score, 2), 0) << "no whole measure inside";
}

TEST_F(ClipboardTest, RemovingTracksRenumbersTheRest) {
    build(FOUR_4X4, 3);
    put(0, 0, 192, 0, 0);
    put(0, 0, 192, 1, 1);
    put(0, 0, 192, 2, 2);
    track_info[2].patch = 40;
    track_info[1].remove = 1;
    EXPECT_EQ(remove_checked_track(&g_score), 2);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(notes(), sorted({{0, 192, 0, 0}, {0, 192, 2, 1}}));
    EXPECT_EQ(track_info[1].patch, 40);
}

TEST_F(ClipboardTest, RemovingEveryTrackKeepsTrackZerosSettings) {
    build(FOUR_4X4, 3);
    put(0, 0, 192, 0, 0);
    put(1, 0, 192, 1, 2);
    track_info[0].patch = 12;
    track_info[0].channel = 5;
    track_info[0].active = 0;
    for (int t = 0; t < 3; t++)
        track_info[t].remove = 1;
    EXPECT_EQ(remove_checked_track(&g_score), 1);
    EXPECT_EQ(track_num, 1);
    EXPECT_EQ(track_info[0].patch, 12);
    EXPECT_EQ(track_info[0].channel, 5);
    EXPECT_EQ(track_info[0].active, 1u);
    EXPECT_EQ(track_info[0].remove, 0u);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_TRUE(notes().empty());
}

constexpr int EDITS = 80;
constexpr int MAX_MEASURES = 40;
constexpr int ROLLS = 11; // seven block edits; the other rolls enter a note

// Seeded random block edits over measures of mixed signatures with tied and chord notes.
class BlockEditSequence : public ::testing::TestWithParam<int> {
  protected:
    std::mt19937 gen;
    std::vector<std::string> log;
    int done[ROLLS] = {}; // edits of each kind that reported a change

    int pick(int n) { return int(gen() % uint32_t(n)); }

    void SetUp() override {
        gen.seed(GetParam());
        init_measure(&clip_board_measure);
        const sig sigs[] = {{4, 4, 0}, {3, 4, 2}, {6, 8, -1}, {2, 4, 0}, {5, 4, 3}};
        reset_score(3, 0);
        measure *last = nullptr;
        for (const sig &g : sigs) {
            measure *m = new_measure();
            set_measure(m, g.num, g.bit, g.key);
            last = _insert_measure_list(&g_score.measures, last, m);
            validate_measure(m);
        }
        g_score.ref_measure = g_score.measures.head;
        for (int i = 0; i < 12; i++)
            enter();
    }
    void TearDown() override {
        destroy_measure(&clip_board_measure);
        init_measure(&clip_board_measure);
        release_score();
        track_num = 1;
        init_track_info();
        update_active_tracks();
    }

    measure *random_measure() { return get_measure_by_pos(&g_score, pick(g_score.measures.num)); }
    int random_x(measure *m) { return 48 * pick(m->len / 48); }

    void enter() {
        const int lengths[] = {192, 384, 96, 576, 768, 240, 64};
        measure *m = random_measure();
        note *n = add_note(m, random_x(m), lengths[pick(7)], pick(25) - 12, pick(3));
        _note_expand_by_measure(&g_score, m, n, 1);
    }
    void random_selection() {
        measure *a = random_measure();
        measure *b = random_measure();
        int ax = random_x(a), bx = random_x(b);
        if (!well_ordered(a, ax, b, bx)) {
            std::swap(a, b);
            std::swap(ax, bx);
        }
        if (!well_ordered(a, ax, b, bx))
            std::swap(ax, bx);
        g_score.select_start = a;
        g_score.select_start_x = ax;
        g_score.select_end = b;
        g_score.select_end_x = bx;
        log.push_back("select " + std::to_string(get_pos_by_measure(&g_score, a)) + "@" +
                      std::to_string(ax) + " .. " +
                      std::to_string(get_pos_by_measure(&g_score, b)) + "@" + std::to_string(bx));
    }
    void random_cursor() {
        g_score.cursor_measure = random_measure();
        g_score.cursor_x = random_x(g_score.cursor_measure);
        log.push_back("cursor " +
                      std::to_string(get_pos_by_measure(&g_score, g_score.cursor_measure)) + "@" +
                      std::to_string(g_score.cursor_x));
    }
    // Shows or hides track 2; the columns are numbered again, as the track dialog does.
    void show_tracks(bool third) {
        if (track_info[2].active == unsigned(third))
            return;
        track_info[2].active = third;
        update_active_tracks();
        for (measure *m = g_score.measures.head; m; m = m->next)
            validate_measure(m);
        log.push_back(third ? "show track 2" : "hide track 2");
    }
    int copy() {
        random_selection();
        return copy_events(&g_score, &clip_board_measure, &clip_board_length);
    }
    void step() {
        int roll = pick(ROLLS);
        log.push_back("op " + std::to_string(roll));
        show_tracks(pick(4) != 0);
        switch (roll) {
        case 0:
            done[roll] += copy();
            break;
        case 1:
            if (clip_board_empty())
                copy();
            random_cursor();
            done[roll] += paste_events_blend(&g_score, &clip_board_measure, g_score.cursor_measure,
                                             g_score.cursor_x) > 0;
            break;
        case 2:
            if (clip_board_empty())
                copy();
            random_cursor();
            done[roll] += paste_events_solid(&g_score);
            break;
        case 3:
            random_selection();
            done[roll] += delete_events_blend(&g_score);
            break;
        case 4:
            random_selection();
            done[roll] += delete_events_solid(&g_score);
            break;
        case 5:
            random_selection();
            done[roll] += transpose(&g_score, pick(15) - 7);
            break;
        case 6:
            random_selection();
            done[roll] += set_key(&g_score, pick(15) - 7);
            break;
        default:
            enter();
            break;
        }
    }
    std::string history() {
        std::string out = " seed " + std::to_string(GetParam());
        for (const std::string &l : log)
            out += "\n  " + l;
        return out;
    }
};

TEST_P(BlockEditSequence, KeepsTheInvariants) {
    for (int i = 0; i < EDITS; i++) {
        step();
        ASSERT_TRUE(score_invariants(&g_score)) << history();
        std::string error;
        compressed_whole_notes(&g_score, &error);
        ASSERT_TRUE(error.empty()) << error << history();
        if (g_score.measures.num > MAX_MEASURES) { // keep the score small
            g_score.select_start = nth(MAX_MEASURES / 2);
            g_score.select_start_x = 0;
            g_score.select_end = g_score.measures.tail;
            g_score.select_end_x = 0;
            delete_events_solid(&g_score);
        }
    }
    for (int kind = 1; kind <= 5; kind++)
        EXPECT_GT(done[kind], 0) << "edit kind " << kind << " never changed anything" << history();
}

INSTANTIATE_TEST_SUITE_P(Seeds, BlockEditSequence, ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8));

} // namespace
