// Randomised, seeded edit sequences over measures of mixed time signatures: notes are entered,
// moved, re-timed and deleted through the edit cycle (compress, change, expand, validate),
// and after every step the score must satisfy the model's invariants and compress back to
// exactly the notes entered. Also checks that the invariant checker catches broken scores.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "invariants.h"
#include "model/undo.h"

namespace {

// Every time signature of the runs, in ticks 384, 576, 768, 960, 576, 672, 288.
constexpr int SIGNATURES[][2] = {{2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 8}, {7, 8}, {3, 8}};
constexpr int N_SIGNATURES = sizeof SIGNATURES / sizeof SIGNATURES[0];
// Entry lengths: plain, dotted, triplet values and a few sums that need ties inside a bar.
constexpr int LENGTHS[] = {768, 384, 192, 96, 48, 24,  576, 288, 144,  72,   36,
                           256, 128, 64,  32, 16, 240, 672, 960, 1152, 1344, 480};
constexpr int N_LENGTHS = sizeof LENGTHS / sizeof LENGTHS[0];
constexpr int PLAIN_GRIDS[] = {24, 48, 96, 192};
constexpr int TRIPLET_GRIDS[] = {16, 32, 64, 128};
constexpr int START_MEASURES = N_SIGNATURES; // each run starts with every signature once
constexpr int ENTRY_MEASURES = 10; // notes start in the first measures only, so scores stay small
constexpr int TRACKS = 3;
constexpr int STEPS = 120;
constexpr int WILD_MAX_LENGTH = 1500;
constexpr int LOG_SHOWN = 8; // last operations printed with a failure

// A small, portable generator: mt19937's output is fixed by the standard, its
// distributions are not.
struct rng_t {
    std::mt19937 gen;
    int pick(int n) { return int(gen() % uint32_t(n)); }
    int range(int lo, int hi) { return lo + pick(hi - lo + 1); }
    bool chance(int percent) { return pick(100) < percent; }
};

class EditSequence : public ::testing::TestWithParam<int> {
  protected:
    score s;
    rng_t rng;
    std::vector<whole_note> shadow; // the notes entered, whole
    std::vector<std::string> log;
    // What the run went through, so that a run that never ties or appends fails.
    struct {
        int bar_ties, inner_ties, triplets, chords, appended;
    } seen{};

    void SetUp() override {
        rng.gen.seed(GetParam());
        g_score.track_num = TRACKS;
        init_track_info(&g_score);
        init_score(&s);
        measure *last = nullptr;
        int first = rng.pick(N_SIGNATURES);
        for (int i = 0; i < START_MEASURES; i++) {
            const int *sig = SIGNATURES[(first + i) % N_SIGNATURES];
            measure *m = new_measure();
            set_measure(m, sig[0], sig[1], rng.range(-3, 3));
            last = _insert_measure_list(&s.measures, last, m);
            validate_measure(m);
        }
        s.ref_measure = s.cursor_measure = s.measures.head;
    }
    void TearDown() override {
        destroy_score(&s);
        g_score.track_num = 1;
        init_track_info(&g_score);
    }

    int start_of(measure *m) { return get_measure_x(&s, m); }

    whole_note whole_of(measure *m, note *n) {
        return {start_of(m) + n->x, n->total_len, n->pitch, n->pos.y, n->track, n->volume};
    }

    void validate_from(measure *m, int count) {
        for (int i = 0; m && i <= count; i++, m = m->next)
            validate_measure(m);
    }

    measure *random_measure() {
        int n = std::min(s.measures.num, ENTRY_MEASURES);
        return get_measure_by_pos(&s, rng.pick(n));
    }

    // Off-grid material, as quantised MIDI may bring: any length at any tick.
    bool wild = false;

    int random_length() {
        if (wild)
            return rng.range(1, WILD_MAX_LENGTH);
        return LENGTHS[rng.pick(N_LENGTHS)];
    }

    // A start on the grid of the length, now and then on the other grid.
    int random_x(measure *m, int len) {
        if (wild)
            return rng.pick(m->len);
        bool triplet = len % 3 != 0;
        if (rng.chance(10))
            triplet = !triplet;
        int grid = triplet ? TRIPLET_GRIDS[rng.pick(4)] : PLAIN_GRIDS[rng.pick(4)];
        return grid * rng.pick((m->len + grid - 1) / grid);
    }

    void respell_randomly(measure *m, note *n) {
        set_note_pos(m->key, n, rng.range(-14, 14), rng.range(-1, 1), 1);
    }

    void record(const std::string &op, measure *m, note *n) {
        std::ostringstream o;
        o << "step " << log.size() << ": " << op << " in measure " << get_pos_by_measure(&s, m)
          << " (" << m->num << "/" << m->bit << ", key " << m->key << ") x " << n->x << " len "
          << n->len << " pitch " << n->pitch << " pos.y " << n->pos.y << " track " << int(n->track);
        log.push_back(o.str());
    }

    // Removes one note equal to w from the shadow; false when the shadow holds none.
    bool forget(const whole_note &w) {
        auto it = std::find(shadow.begin(), shadow.end(), w);
        if (it == shadow.end())
            return false;
        shadow.erase(it);
        return true;
    }

    // A random first piece (not a rest) and its measure; false when the score holds none.
    bool random_note(measure **m_out, note **n_out) {
        std::vector<std::pair<measure *, note *>> firsts;
        for (measure *m = s.measures.head; m; m = m->next)
            for (note *n = m->notes.head; n; n = n->next)
                if (!n->rest && !n->l_prev)
                    firsts.push_back({m, n});
        if (firsts.empty())
            return false;
        auto [m, n] = firsts[rng.pick(int(firsts.size()))];
        *m_out = m;
        *n_out = n;
        return true;
    }

    void enter() {
        measure *m = random_measure();
        note *n = new_note();
        n->len = n->total_len = int16_t(random_length());
        n->x = random_x(m, n->len);
        n->track = int8_t(rng.pick(TRACKS));
        n->volume = uint8_t(rng.range(1, 127));
        respell_randomly(m, n);
        record("enter", m, n);
        shadow.push_back({start_of(m) + n->x, n->len, n->pitch, n->pos.y, n->track, n->volume});
        undo_touch_ticks(&s, m, n->x, n->len);
        _insert_sorted_note_list(&m->notes, n, note_comp);
        _note_expand_by_measure(&s, m, n, 1);
    }

    void remove() {
        measure *m;
        note *n;
        if (!random_note(&m, &n))
            return enter();
        record("delete", m, n);
        ASSERT_TRUE(forget(whole_of(m, n))) << to_string(whole_of(m, n)) << " not entered";
        undo_touch_ticks(&s, m, n->x, n->total_len);
        int reach = note_compress_by_measure(m, n);
        _delete_note_list(&m->notes, n, nullptr);
        validate_from(m, reach);
    }

    void move() {
        measure *m;
        note *n;
        if (!random_note(&m, &n))
            return enter();
        record("move", m, n);
        ASSERT_TRUE(forget(whole_of(m, n))) << to_string(whole_of(m, n)) << " not entered";
        undo_touch_ticks(&s, m, n->x, n->total_len);
        int reach = note_compress_by_measure(m, n);
        _unlink_note_list(&m->notes, n);
        measure *to = rng.chance(50) ? m : random_measure();
        n->x = random_x(to, n->len);
        if (rng.chance(50))
            respell_randomly(to, n);
        record("  to", to, n);
        shadow.push_back({start_of(to) + n->x, n->len, n->pitch, n->pos.y, n->track, n->volume});
        undo_touch_ticks(&s, to, n->x, n->len);
        _insert_sorted_note_list(&to->notes, n, note_comp);
        _note_expand_by_measure(&s, to, n, 1);
        validate_from(m, reach);
    }

    void change_length() {
        measure *m;
        note *n;
        if (!random_note(&m, &n))
            return enter();
        record("change length", m, n);
        ASSERT_TRUE(forget(whole_of(m, n))) << to_string(whole_of(m, n)) << " not entered";
        undo_touch_ticks(&s, m, n->x, n->total_len);
        int reach = note_compress_by_measure(m, n);
        n->len = n->total_len = int16_t(random_length());
        undo_touch_ticks(&s, m, n->x, n->len);
        record("  to", m, n);
        shadow.push_back(whole_of(m, n));
        _note_expand_by_measure(&s, m, n, 1);
        validate_from(m, reach);
    }

    measure *measure_of(note *n) {
        for (measure *m = s.measures.head; m; m = m->next)
            for (note *e = m->notes.head; e; e = e->next)
                if (e == n)
                    return m;
        return nullptr;
    }

    // Enters a note right after the end of a random chain, same track and pitch, and ties it.
    void tie() {
        measure *m;
        note *first;
        if (!random_note(&m, &first))
            return enter();
        note *last = first;
        measure *last_m = m;
        for (; last->l_next; last = last->l_next)
            if (last->l_next->x == 0)
                last_m = last_m->next;
        measure *to = last_m;
        int x = last->x + last->len;
        if (x == to->len) {
            if (!to->next)
                return enter();
            to = to->next;
            x = 0;
        }
        note *n = new_note();
        n->x = x;
        n->len = n->total_len = int16_t(random_length());
        n->track = first->track;
        n->pitch = first->pitch;
        n->volume = first->volume;
        get_note_pos_y(to, n);
        record("enter to tie", to, n);
        undo_touch(&s, m, last_m);
        undo_touch_ticks(&s, to, n->x, n->len);
        _insert_sorted_note_list(&to->notes, n, note_comp);
        _note_expand_by_measure(&s, to, n, 1);
        ASSERT_TRUE(forget(whole_of(m, first))) << to_string(whole_of(m, first)) << recent_log();
        _l_tie_note(last, n);
        get_total_len(n);
        shadow.push_back(whole_of(m, first));
        validate_from(last_m, to == last_m ? 0 : 1);
    }

    // "Untie from previous" at a random inner piece: the chain becomes two notes.
    void untie() {
        std::vector<std::pair<measure *, note *>> pieces;
        for (measure *m = s.measures.head; m; m = m->next)
            for (note *n = m->notes.head; n; n = n->next)
                if (!n->rest && n->l_prev)
                    pieces.push_back({m, n});
        if (pieces.empty())
            return tie();
        auto [m, n] = pieces[rng.pick(int(pieces.size()))];
        note *first = _l_start_note(n);
        measure *first_m = measure_of(first);
        measure *prev_m = measure_of(n->l_prev);
        record("untie", m, n);
        undo_touch(&s, first_m, m);
        ASSERT_TRUE(forget(whole_of(first_m, first))) << recent_log();
        _l_untie_note(n);
        get_total_len(first);
        shadow.push_back(whole_of(first_m, first));
        shadow.push_back(whole_of(m, n));
        validate_from(prev_m, prev_m == m ? 0 : 1);
    }

    // A block edit's cycle on one measure: every note compressed and expanded again.
    void recompress_measure() {
        measure *m = random_measure();
        log.push_back("step " + std::to_string(log.size()) + ": recompress measure " +
                      std::to_string(get_pos_by_measure(&s, m)));
        undo_touch(&s, m, m);
        int reach = measure_compress_by_measure(m);
        int new_reach = _measure_expand_by_measure(&s, m, 1);
        validate_from(m, std::max(reach, new_reach));
    }

    void random_edit() {
        int roll = rng.pick(100);
        if (roll < 35)
            enter();
        else if (roll < 50)
            move();
        else if (roll < 65)
            change_length();
        else if (roll < 75)
            recompress_measure();
        else if (roll < 82)
            tie();
        else if (roll < 88)
            untie();
        else
            remove();
    }

    void count_what_is_seen() {
        seen.appended = std::max(seen.appended, s.measures.num - START_MEASURES);
        for (measure *m = s.measures.head; m; m = m->next)
            for (note *n = m->notes.head; n; n = n->next) {
                if (n->rest)
                    continue;
                seen.bar_ties += n->l_prev && n->x == 0;
                seen.inner_ties += n->l_prev && n->x > 0;
                seen.triplets += n->triplet;
                seen.chords += n->next && !n->next->rest && n->next->x == n->x;
            }
    }

    std::string recent_log() {
        std::string out = "\n  seed " + std::to_string(GetParam()) + ", last operations:";
        int from = std::max(0, int(log.size()) - LOG_SHOWN);
        for (int i = from; i < int(log.size()); i++)
            out += "\n    " + log[i];
        return out;
    }

    // Pieces made by expansion are spelled in the key of their own measure; only a note's
    // first piece keeps the spelling it was entered with.
    void expect_pieces_spelled_in_key() {
        for (measure *m = s.measures.head; m; m = m->next)
            for (note *n = m->notes.head; n; n = n->next) {
                if (n->rest || !n->l_prev)
                    continue;
                note spelled = *n;
                get_note_pos_y(m, &spelled);
                ASSERT_EQ(n->pos.y, spelled.pos.y) << "piece at x " << n->x << " of measure "
                                                   << get_pos_by_measure(&s, m) << recent_log();
                ASSERT_EQ(n->accidental, spelled.accidental) << recent_log();
            }
    }

    void expect_shadow() {
        std::string error;
        std::vector<whole_note> got = compressed_whole_notes(&s, &error);
        std::vector<whole_note> want = shadow;
        std::sort(want.begin(), want.end());
        ASSERT_TRUE(error.empty()) << error << recent_log();
        ASSERT_TRUE(got == want) << "compressed:" << to_string(got)
                                 << "\n  entered:" << to_string(want) << recent_log();
    }
};

TEST_P(EditSequence, KeepsInvariantsAndNotes) {
    ASSERT_TRUE(score_invariants(&s)) << recent_log();
    for (int step = 0; step < STEPS; step++) {
        ASSERT_NO_FATAL_FAILURE(random_edit()) << recent_log();
        ASSERT_TRUE(score_invariants(&s)) << recent_log();
        ASSERT_NO_FATAL_FAILURE(expect_shadow());
        ASSERT_NO_FATAL_FAILURE(expect_pieces_spelled_in_key());
        count_what_is_seen();
    }
    EXPECT_GT(seen.bar_ties, 0);
    EXPECT_GT(seen.inner_ties, 0);
    EXPECT_GT(seen.triplets, 0);
    EXPECT_GT(seen.chords, 0);
    EXPECT_GT(seen.appended, 0);
}

TEST_P(EditSequence, HiddenTrackKeepsInvariants) {
    g_score.tracks[1].active = 0;
    for (int step = 0; step < STEPS / 2; step++) {
        ASSERT_NO_FATAL_FAILURE(random_edit()) << recent_log();
        ASSERT_TRUE(score_invariants(&s)) << recent_log();
    }
    ASSERT_NO_FATAL_FAILURE(expect_shadow());
}

TEST_P(EditSequence, OffGridLengthsAndPositions) {
    wild = true;
    for (int step = 0; step < STEPS / 2; step++) {
        ASSERT_NO_FATAL_FAILURE(random_edit()) << recent_log();
        ASSERT_TRUE(score_invariants(&s)) << recent_log();
        ASSERT_NO_FATAL_FAILURE(expect_shadow());
    }
}

// The loading path: whole notes put into the measures as a file holds them, then the whole
// score expanded at once and every measure validated.
TEST_P(EditSequence, ExpandingWholeNotesAtOnce) {
    for (int i = 0; i < STEPS / 2; i++) {
        measure *m = random_measure();
        note *n = new_note();
        n->len = n->total_len = int16_t(random_length());
        n->x = random_x(m, n->len);
        n->track = int8_t(rng.pick(TRACKS));
        respell_randomly(m, n);
        shadow.push_back(whole_of(m, n));
        _insert_sorted_note_list(&m->notes, n, note_comp);
    }
    score_expand_by_measure(&s);
    for (measure *m = s.measures.head; m; m = m->next)
        validate_measure(m);
    ASSERT_TRUE(score_invariants(&s));
    ASSERT_NO_FATAL_FAILURE(expect_shadow());
    ASSERT_NO_FATAL_FAILURE(expect_pieces_spelled_in_key());
}

// Everything a score holds, one line per measure, element and event; tie links as the
// measure and list position of the linked piece.
std::string dump_score(score *s) {
    std::map<const note *, std::string> where;
    int mi = 0;
    for (measure *m = s->measures.head; m; m = m->next, mi++) {
        int ni = 0;
        for (note *n = m->notes.head; n; n = n->next, ni++)
            where[n] = std::to_string(mi) + "." + std::to_string(ni);
    }
    std::ostringstream o;
    for (measure *m = s->measures.head; m; m = m->next) {
        o << "m " << m->num << "/" << m->bit << " key " << m->key << " len " << m->len << " n_pos "
          << m->n_pos << " width " << m->width << "\n";
        for (note *n = m->notes.head; n; n = n->next)
            o << "  " << where[n] << " x " << n->x << " len " << n->len << "/" << n->total_len
              << " pitch " << n->pitch << " pos " << n->pos.x << "," << n->pos.y << " acc "
              << int(n->accidental) << " track " << int(n->track) << " vol " << int(n->volume)
              << " voice " << int(n->voice) << (n->rest ? " rest" : "")
              << (n->triplet ? " triplet" : "") << " next " << where[n->l_next] << " prev "
              << where[n->l_prev] << "\n";
        for (m_event *e = m->m_events.head; e; e = e->next)
            o << "  event " << e->x << " " << e->type << " " << e->value << "\n";
    }
    return o.str();
}

// Edits recorded as undo steps, with undo and redo interleaved: every undo and redo gives
// back exactly the state the history says, and undoing everything gives the first score.
TEST_P(EditSequence, UndoAndRedoRestoreEveryState) {
    undo_reset();
    std::vector<std::string> states = {dump_score(&s)};
    std::vector<std::vector<whole_note>> shadows = {shadow}; // the notes entered, per state
    size_t at = 0;                                           // position of the score in states
    int undos = 0, redos = 0;
    for (int step = 0; step < STEPS; step++) {
        int roll = rng.pick(100);
        if (roll < 20 && at > 0) {
            ASSERT_EQ(undo(&s), 1);
            shadow = shadows[--at];
            undos++;
        } else if (roll < 30 && at + 1 < states.size()) {
            ASSERT_EQ(redo(&s), 1);
            shadow = shadows[++at];
            redos++;
        } else {
            int steps = undo_steps();
            undo_begin(&s, "edit");
            ASSERT_NO_FATAL_FAILURE(random_edit()) << recent_log();
            undo_commit(&s, 1);
            if (undo_steps() == steps) { // the edit changed nothing: no step
                shadows[at] = shadow;
            } else {
                states.resize(++at);
                shadows.resize(at);
                states.push_back(dump_score(&s));
                shadows.push_back(shadow);
            }
        }
        ASSERT_TRUE(score_invariants(&s)) << recent_log();
        ASSERT_EQ(dump_score(&s), states[at]) << "after step " << step << recent_log();
    }
    size_t final_at = states.size() - 1;
    while (undo(&s))
        ASSERT_TRUE(score_invariants(&s)) << recent_log();
    EXPECT_EQ(dump_score(&s), states[0]);
    while (redo(&s))
        ASSERT_TRUE(score_invariants(&s)) << recent_log();
    EXPECT_EQ(dump_score(&s), states[final_at]);
    EXPECT_GT(undos, 0);
    EXPECT_GT(redos, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, EditSequence, ::testing::Values(1, 2, 3, 5, 8, 13, 21, 34));

// The checker itself: a small valid score, then one fault at a time.
class InvariantChecker : public ::testing::Test {
  protected:
    score s;
    measure *m1, *m2;
    note *a; // a quarter at 192 of the first 4/4 measure
    note *b; // a half at 576: a quarter tied to a quarter of the 3/4 measure

    void SetUp() override {
        g_score.track_num = 1;
        init_track_info(&g_score);
        init_score(&s);
        m1 = _insert_measure_list(&s.measures, nullptr, new_measure());
        m2 = _insert_measure_list(&s.measures, m1, new_measure());
        set_measure(m2, 3, 4, 0);
        a = put(192, 192, 4);
        b = put(576, 384, 7);
        _note_expand_by_measure(&s, m1, a, 1);
        _note_expand_by_measure(&s, m1, b, 1);
        validate_measure(m2);
    }
    void TearDown() override { destroy_score(&s); }

    note *put(int x, int len, int pitch) {
        note *n = new_note();
        n->x = x;
        n->len = n->total_len = int16_t(len);
        n->pitch = int16_t(pitch);
        get_note_pos_y(m1, n);
        return _insert_sorted_note_list(&m1->notes, n, note_comp);
    }
    note *rest_at(measure *m, int x) {
        for (note *n = m->notes.head; n; n = n->next)
            if (n->rest && n->x == x)
                return n;
        return nullptr;
    }
};

TEST_F(InvariantChecker, AcceptsAValidScore) {
    EXPECT_TRUE(score_invariants(&s));
    ASSERT_NE(b->l_next, nullptr);
    EXPECT_EQ(b->l_next->x, 0);
    std::string error;
    std::vector<whole_note> notes = compressed_whole_notes(&s, &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1].at, 576);
    EXPECT_EQ(notes[1].len, 384);
}

TEST_F(InvariantChecker, CatchesUnsortedNotes) {
    std::swap(a->x, rest_at(m1, 0)->x);
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesPieceOutsideItsMeasure) {
    b->len = 288;
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesWrongTotalLength) {
    b->total_len = 192;
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesOneWayChain) {
    b->l_next->l_prev = nullptr;
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesGapInAVoice) {
    _delete_note_list(&m1->notes, rest_at(m1, 0), nullptr);
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesOverlapInAVoice) {
    a->len = a->total_len = 384;
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesStaleColumns) {
    m1->n_pos++;
    EXPECT_FALSE(score_invariants(&s));
    m1->n_pos--;
    m1->width = 0;
    EXPECT_FALSE(score_invariants(&s));
    get_measure_display_size(m1);
    a->pos.x++;
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesWrongSpelling) {
    a->pos.y++;
    EXPECT_FALSE(score_invariants(&s));
}

TEST_F(InvariantChecker, CatchesPieceThatIsNotOneValue) {
    // 240 ticks fit the measure but are not one notatable value: expanding would split it.
    put(0, 240, 0);
    validate_measure(m1);
    EXPECT_FALSE(score_invariants(&s));
}

} // namespace
