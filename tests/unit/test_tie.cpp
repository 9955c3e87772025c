// Tied notes: chain links, total lengths, splitting at bar lines and inside measures,
// compression back into whole notes, cutting the score, and seeded edit sequences that check
// the chain and voice invariants after every step.
#include "model_core_helpers.h"

#include <algorithm>
#include <random>

namespace {

using namespace model_test;

class Ties : public ::testing::Test {
  protected:
    void SetUp() override { reset_score(1); }
    void TearDown() override { release_score(); }
};

// Every element of the score as text, measure by measure, chains shown by total_len.
std::string snapshot() {
    std::string s;
    for (measure *m = g_score.measures.head; m; m = m->next) {
        s += "|" + std::to_string(m->num) + "/" + std::to_string(m->bit) + ":";
        for (note *e = m->notes.head; e; e = e->next)
            s += " " + std::string(e->rest ? "r" : "") + std::to_string(e->x) + "+" +
                 std::to_string(e->len) + "/" + std::to_string(e->total_len) + "p" +
                 std::to_string(e->pitch) + "t" + std::to_string(e->track) + (e->l_next ? "~" : "");
    }
    return s;
}

int measure_count() {
    return g_score.measures.num;
}

TEST_F(Ties, LinkUnlinkTieAndUntie) {
    note a, b, c;
    init_note(&a), init_note(&b), init_note(&c);
    _l_link_note(&a, &c);
    _l_link_note(&a, &b);
    EXPECT_EQ(a.l_next, &b);
    EXPECT_EQ(b.l_next, &c);
    EXPECT_EQ(c.l_prev, &b);
    EXPECT_EQ(_l_start_note(&c), &a);
    EXPECT_EQ(_l_start_note(nullptr), nullptr);
    a.len = 96, b.len = 48, c.len = 24;
    EXPECT_EQ(update_note_list(&b), 168);
    EXPECT_EQ(b.total_len, 72);
    _l_unlink_note(&b);
    EXPECT_EQ(a.l_next, &c);
    EXPECT_EQ(c.l_prev, &a);
    EXPECT_EQ(get_total_len(&c), 120);
    _l_untie_note(&c);
    EXPECT_EQ(a.l_next, nullptr);
    EXPECT_EQ(c.l_prev, nullptr);
    _l_tie_note(&c, &b);
    EXPECT_EQ(c.l_next, &b);
    EXPECT_EQ(b.l_prev, &c);
    _l_link_note(nullptr, &b);
    EXPECT_EQ(b.l_next, nullptr);
    EXPECT_EQ(b.l_prev, nullptr);
    EXPECT_EQ(_l_unlink_note(nullptr), nullptr);
    EXPECT_EQ(_l_untie_note(nullptr), nullptr);
    EXPECT_EQ(_l_link_note(&a, nullptr), nullptr);
    EXPECT_EQ(update_note_list(nullptr), 0);
}

TEST_F(Ties, HalfNoteOverTheLastBarLineAppendsAMeasure) {
    measure *m = nth(0);
    note *n = add_note(m, 576, 384, 0);
    EXPECT_EQ(note_expand_by_measure(&g_score, m, n), 1);
    ASSERT_EQ(measure_count(), 2);
    EXPECT_EQ(n->len, 192);
    EXPECT_EQ(n->total_len, 384);
    note *piece = n->l_next;
    ASSERT_NE(piece, nullptr);
    EXPECT_EQ(piece->x, 0);
    EXPECT_EQ(piece->len, 192);
    EXPECT_EQ(piece->total_len, 192);
    EXPECT_EQ(nth(1)->notes.head, piece);
}

TEST_F(Ties, WholeNoteAcrossThreeFourBarLine) {
    reset_score(1, 2, 3, 4);
    measure *m = nth(0);
    note *n = add_note(m, 384, 768, 0);
    EXPECT_EQ(note_expand_by_measure(&g_score, m, n), 1);
    EXPECT_EQ(measure_count(), 2);
    EXPECT_EQ(n->len, 192);
    ASSERT_NE(n->l_next, nullptr);
    EXPECT_EQ(n->l_next->len, 576);
    EXPECT_EQ(n->l_next->l_next, nullptr);
    expect_chains(&g_score);
}

TEST_F(Ties, LongNoteGetsOnePiecePerMeasure) {
    measure *m = nth(0);
    note *n = add_note(m, 384, 768 * 3, 0);
    EXPECT_EQ(note_expand_by_measure(&g_score, m, n), 3);
    EXPECT_EQ(measure_count(), 4);
    EXPECT_EQ(track_layout(nth(1), 0), "0:768");
    EXPECT_EQ(track_layout(nth(2), 0), "0:768");
    EXPECT_EQ(track_layout(nth(3), 0), "0:384");
    EXPECT_EQ(n->total_len, 768 * 3);
    expect_chains(&g_score);
}

TEST_F(Ties, AppendedMeasuresInheritSignatureAndPiecesTheirKey) {
    measure *m = nth(0);
    set_measure(m, 3, 4, 2);
    note *n = add_note(m, 0, 768, 6); // F sharp in D major
    note_expand_by_measure(&g_score, m, n);
    measure *next = nth(1);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->num, 3);
    EXPECT_EQ(next->key, 2);
    ASSERT_NE(n->l_next, nullptr);
    EXPECT_EQ(n->l_next->pitch, 6);
    EXPECT_EQ(n->l_next->step, 3);
    EXPECT_EQ(n->l_next->accidental, 1);
}

TEST_F(Ties, NoteStartingPastTheBarLineIsNeverGivenANegativeLength) {
    measure *m = nth(0);
    note *n = add_note(m, 800, 96, 0);
    EXPECT_EQ(note_expand_by_measure(&g_score, m, n), 0);
    EXPECT_EQ(measure_count(), 1);
    for (note *p = n; p; p = p->l_next)
        EXPECT_GT(p->len, 0);
}

TEST_F(Ties, SplitInsideTheMeasure) {
    measure *m = nth(0);
    note *n = add_note(m, 0, 240, 0);
    EXPECT_EQ(note_expand_by_measure(&g_score, m, n), 0);
    EXPECT_EQ(track_layout(m, 0), "0:192 192:48");
    EXPECT_EQ(n->total_len, 240);
    ASSERT_NE(n->l_next, nullptr);
    EXPECT_EQ(n->l_next->total_len, 48);
    EXPECT_EQ(measure_count(), 1);
}

TEST_F(Ties, TripletPiecesAreFlagged) {
    measure *m = nth(0);
    note *n = add_note(m, 0, 128, 0);
    note *h = add_note(m, 384, 256, 0);
    note_expand_by_measure(&g_score, m, n);
    note_expand_by_measure(&g_score, m, h);
    EXPECT_EQ(n->triplet, 1u);
    EXPECT_EQ(h->len, 192);
    EXPECT_EQ(h->triplet, 0u);
    ASSERT_NE(h->l_next, nullptr);
    EXPECT_EQ(h->l_next->len, 64);
    EXPECT_EQ(h->l_next->triplet, 1u);
}

TEST_F(Ties, CompressJoinsTheChainBack) {
    measure *m = nth(0);
    note *n = add_note(m, 0, 240, 0);
    note_expand_by_measure(&g_score, m, n);
    EXPECT_EQ(note_compress_by_measure(m, n), 0);
    EXPECT_EQ(track_layout(m, 0), "0:240");
    EXPECT_EQ(n->total_len, 240);
    EXPECT_EQ(n->l_next, nullptr);
}

TEST_F(Ties, CompressOfAThreeMeasureChainReturnsTwo) {
    for (int start : {0, 192}) {
        reset_score(1);
        measure *m = nth(0);
        note *n = add_note(m, start, 768 * 3 - start - 96, 0);
        EXPECT_EQ(note_expand_by_measure(&g_score, m, n), 2);
        EXPECT_EQ(note_compress_by_measure(m, n), 2) << "start " << start;
        EXPECT_EQ(n->len, 768 * 3 - start - 96);
        EXPECT_EQ(nth(1)->notes.num, 0);
        EXPECT_EQ(nth(2)->notes.num, 0);
    }
}

TEST_F(Ties, CompressFromAContinuationJoinsOnlyTheRest) {
    measure *m = nth(0);
    note *n = add_note(m, 384, 768 * 2, 0);
    note_expand_by_measure(&g_score, m, n);
    note *mid = n->l_next;
    ASSERT_NE(mid, nullptr);
    EXPECT_EQ(note_compress_by_measure(nth(1), mid), 1);
    EXPECT_EQ(mid->len, 768 + 384);
    EXPECT_EQ(n->l_next, mid);
    EXPECT_EQ(n->total_len, n->len + mid->total_len);
    EXPECT_EQ(nth(2)->notes.num, 0);
}

TEST_F(Ties, CompressIgnoresRests) {
    measure *m = nth(0);
    validate_measure(m);
    EXPECT_EQ(note_compress_by_measure(m, m->notes.head), 0);
    EXPECT_EQ(note_compress_by_measure(m, nullptr), 0);
    EXPECT_EQ(note_expand_by_measure(&g_score, m, m->notes.head), 0);
}

TEST_F(Ties, ExpandingAgainChangesNothingAndReportsTheReach) {
    measure *m = nth(0);
    add_note(m, 96, 768 * 2, 0);
    add_note(m, 0, 240, 4);
    EXPECT_EQ(measure_expand_by_measure(&g_score, m), 2);
    std::string once = snapshot();
    EXPECT_EQ(measure_expand_by_measure(&g_score, m), 2);
    EXPECT_EQ(snapshot(), once);
    EXPECT_EQ(measure_expand_by_measure(&g_score, nth(1)), 1);
    EXPECT_EQ(snapshot(), once);
}

TEST_F(Ties, ExpandWithValidationFillsEveryMeasureReached) {
    measure *m = nth(0);
    note *n = add_note(m, 576, 768, 0);
    EXPECT_EQ(_note_expand_by_measure(&g_score, m, n, 1), 1);
    EXPECT_EQ(track_layout(m, 0), "r0:576 576:192");
    EXPECT_EQ(track_layout(nth(1), 0), "0:576 r576:192");
}

TEST_F(Ties, ScoreExpansionAfterLoading) {
    reset_score(2, 2);
    add_note(nth(0), 0, 768 * 3, 0, 0);
    add_note(nth(1), 384, 100, 0, 1);
    EXPECT_EQ(score_expand_by_measure(&g_score), 3);
    for (measure *m = g_score.measures.head; m; m = m->next)
        validate_measure(m);
    expect_chains(&g_score);
    for (measure *m = g_score.measures.head; m; m = m->next) {
        validate_measure(m);
        expect_sorted(m);
        expect_voices_fill_measure(m);
    }
}

// The longest note over one-tick measures: one piece in each of 32767 measures, every piece
// reached once from the first.
TEST_F(Ties, ScoreExpansionOfTheLongestNoteOverOneTickMeasures) {
    reset_score(1, 1, 1, TICKS_PER_WHOLE);
    note *n = add_note(nth(0), 0, INT16_MAX, 0);
    EXPECT_EQ(score_expand_by_measure(&g_score), INT16_MAX);
    EXPECT_EQ(n->total_len, INT16_MAX);
    int pieces = 0;
    int wrong = 0;
    for (note *p = n; p; p = p->l_next, pieces++)
        wrong += p->len != 1 || p->x != 0 || p->total_len != INT16_MAX - pieces;
    EXPECT_EQ(pieces, INT16_MAX);
    EXPECT_EQ(wrong, 0);
}

TEST_F(Ties, TruncateAtZeroTakesThePredecessorsSignature) {
    reset_score(1, 2);
    set_measure(nth(0), 3, 4, 0);
    add_note(nth(1), 0, 192, 0);
    EXPECT_EQ(truncate_measure(&g_score, nth(1), 0), 1);
    ASSERT_EQ(measure_count(), 2);
    EXPECT_EQ(nth(1)->num, 3);
    EXPECT_EQ(nth(1)->len, 576);
    EXPECT_EQ(nth(1)->notes.num, 0);
    EXPECT_EQ(g_score.measures.tail, nth(1));
}

TEST_F(Ties, TruncateJoinsChainsAndDropsTheTail) {
    reset_score(1, 3);
    note *over = add_note(nth(0), 384, 768, 0);
    note *kept = add_note(nth(1), 0, 96, 4);
    add_note(nth(1), 384, 192, 5);
    add_note(nth(2), 0, 192, 5);
    m_event *e = new_m_event();
    e->x = 384;
    e->type = EVENT_TEMPO;
    _insert_sorted_m_event_list(&nth(1)->m_events, e, m_event_comp);
    measure_expand_by_measure(&g_score, nth(0));
    g_score.cursor_measure = nth(2);
    g_score.select_end = nth(2);
    EXPECT_EQ(truncate_measure(&g_score, nth(1), 192), 1);
    EXPECT_EQ(measure_count(), 2);
    EXPECT_EQ(over->len, 768);
    EXPECT_EQ(over->l_next, nullptr);
    EXPECT_EQ(track_layout(nth(1), 0), "0:96");
    EXPECT_EQ(nth(1)->notes.head, kept);
    EXPECT_EQ(nth(1)->m_events.num, 0);
    EXPECT_EQ(g_score.cursor_measure, nullptr);
    EXPECT_EQ(g_score.select_end, nullptr);
    EXPECT_EQ(g_score.ref_measure, nth(0));
}

TEST_F(Ties, TruncatePointsAViewInTheCutTailAtTheCutMeasure) {
    reset_score(1, 3);
    g_score.ref_measure = nth(2);
    truncate_measure(&g_score, nth(1), 0);
    EXPECT_EQ(g_score.ref_measure, nth(1));
}

// One edit cycle as the editor does it: compress the note, change it, expand, validate the
// measures from the one touched through the reach.
void edit_cycle(measure *m, note *n, int new_len, int new_pitch) {
    int before = note_compress_by_measure(m, n);
    n->len = n->total_len = static_cast<int16_t>(new_len);
    n->pitch = static_cast<int16_t>(new_pitch);
    get_note_pos_y(m, n);
    _unlink_note_list(&m->notes, n);
    _insert_sorted_note_list(&m->notes, n, note_comp);
    int after = _note_expand_by_measure(&g_score, m, n, 1);
    measure *v = m;
    for (int i = 0; v && i <= std::max(before, after); i++, v = v->next)
        validate_measure(v);
}

void check_everything() {
    expect_chains(&g_score);
    for (measure *m = g_score.measures.head; m; m = m->next) {
        validate_measure(m);
        expect_sorted(m);
        expect_voices_fill_measure(m);
        expect_columns(m);
    }
}

note *pick_note(std::mt19937 &rng, measure **where) {
    std::vector<std::pair<measure *, note *>> firsts;
    for (measure *m = g_score.measures.head; m; m = m->next)
        for (note *e = m->notes.head; e; e = e->next)
            if (!e->rest && !e->l_prev)
                firsts.push_back({m, e});
    if (firsts.empty())
        return nullptr;
    auto [m, n] = firsts[rng() % firsts.size()];
    *where = m;
    return n;
}

TEST_F(Ties, SeededEditSequencesKeepEveryInvariant) {
    const int lengths[] = {48, 96, 128, 192, 240, 288, 384, 576, 672, 768, 1000, 1536};
    const int sigs[][2] = {{4, 4}, {3, 4}, {6, 8}, {5, 4}};
    for (unsigned seed = 1; seed <= 12; seed++) {
        std::mt19937 rng(seed);
        const auto &sig = sigs[seed % 4];
        reset_score(3, 2, sig[0], sig[1]);
        for (int step = 0; step < 60; step++) {
            measure *m = nullptr;
            note *n = nullptr;
            int len = lengths[rng() % 12];
            if (rng() % 3 != 0 || !(n = pick_note(rng, &m))) {
                m = nth(rng() % measure_count());
                int x = (rng() % (m->len / 48)) * 48;
                n = add_note(m, x, len, static_cast<int>(rng() % 24) - 12, rng() % 3);
                validate_measure(m);
                note_expand_by_measure(&g_score, m, n);
                measure *v = m;
                for (int i = 0; v && i < 12; i++, v = v->next)
                    validate_measure(v);
            } else {
                edit_cycle(m, n, len, static_cast<int>(rng() % 24) - 12);
            }
            ASSERT_NO_FATAL_FAILURE(check_everything()) << "seed " << seed << " step " << step;
            std::string once = snapshot();
            for (measure *v = g_score.measures.head; v; v = v->next)
                measure_expand_by_measure(&g_score, v);
            for (measure *v = g_score.measures.head; v; v = v->next)
                validate_measure(v);
            ASSERT_EQ(snapshot(), once) << "expanding again changed the score, seed " << seed;
        }
    }
}

} // namespace
