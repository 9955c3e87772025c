// The limits of what the readers accept: hostile files of each kind (long notes over tiny
// measures, many measures, many elements at one tick, late times, oversized files) are refused
// with a message naming the file and the limit and change nothing, while files just inside the
// limits load; the piece count before expansion matches the expansion; bulk sorting gives the
// order of one sorted insertion after another.
#include <random>
#include <unistd.h>

#include "file_test_util.h"
#include "files/fileio.h"
#include "files/midi_imp.h"
#include "model/note_order.h"

namespace {

std::string repeat(const std::string &line, int times) {
    std::string out;
    out.reserve(line.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; i++)
        out += line;
    return out;
}

const std::string SEQ_HEAD = "vudiz 25\nnum_track 1\n";

bytes repeat_bytes(const bytes &event, int times) {
    bytes out;
    for (int i = 0; i < times; i++)
        out.insert(out.end(), event.begin(), event.end());
    return out;
}

const bytes TIME_SIG_1_32 = {0x00, 0xFF, 0x58, 0x04, 1, 5, 24, 8};
const bytes TEMPO_AT_ONCE = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};

// A delta time as a four-byte variable-length quantity.
bytes delta4(uint32_t delta) {
    return {static_cast<unsigned char>(0x80 | ((delta >> 21) & 0x7F)),
            static_cast<unsigned char>(0x80 | ((delta >> 14) & 0x7F)),
            static_cast<unsigned char>(0x80 | ((delta >> 7) & 0x7F)),
            static_cast<unsigned char>(delta & 0x7F)};
}

// copies note-ons of every key at once, and all their note-offs delta file ticks later.
bytes chord(int copies, uint32_t delta) {
    bytes on, off;
    for (int i = 0; i < copies; i++)
        for (int key = 0; key < 128; key++) {
            unsigned char k = static_cast<unsigned char>(key);
            on.insert(on.end(), {0x00, 0x90, k, 100});
            off.insert(off.end(), {0x00, 0x80, k, 0});
        }
    off.erase(off.begin());
    return cat({on, delta4(delta), off});
}

struct limit_case {
    const char *name;
    std::string file; // "x.seq" or "x.mid"
    std::string data;
    const char *message; // expected in the refusal; null when the file must load
};

std::string as_text(const bytes &b) {
    return std::string(b.begin(), b.end());
}

std::vector<limit_case> limit_cases() {
    return {
        {"seq: 6 KB of longest notes over one-tick measures", "a.seq",
         SEQ_HEAD + "m 0 1 768\n" + repeat("n 0 0 0 32767 0 127\n", 300), "1000000 tied pieces"},
        {"seq: 20001 measures", "a.seq", SEQ_HEAD + repeat("m 0 4 4\n", 20001), "20000 measures"},
        {"seq: 20000 measures", "a.seq", SEQ_HEAD + repeat("m 0 4 4\n", 20000), nullptr},
        {"seq: a long note appends measures past the limit", "a.seq",
         SEQ_HEAD + repeat("m 0 1 32\n", 19000) + "n 0 0 0 32767 0 127\n", "20000 measures"},
        {"seq: long notes over 1/32 measures within the limits", "a.seq",
         SEQ_HEAD + "m 0 1 32\n" + repeat("n 0 0 0 32767 0 127\n", 40), nullptr},
        {"seq: thousands of tempo events and a hundred notes at one tick", "a.seq",
         SEQ_HEAD + "m 0 4 4\n" + repeat("t 0 120\n", 5000) + repeat("n 0 3 0 240 0 90\n", 120),
         nullptr},
        {"midi: longest notes over 1/32 measures", "a.mid",
         as_text(smf(0, 1, {cat({TIME_SIG_1_32, chord(8, 170), END})})), "1000000 tied pieces"},
        {"midi: longest notes over 1/32 measures within the limits", "a.mid",
         as_text(smf(0, 1, {cat({TIME_SIG_1_32, chord(2, 170), END})})), nullptr},
        {"midi: a tempo event beyond the measure limit", "a.mid",
         as_text(
             smf(0, 96, {cat({delta4(20001 * 384), {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, END})})),
         "20000 measures"},
        {"midi: times past the longest score", "a.mid",
         as_text(smf(0, 1,
                     {cat({repeat_bytes({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00}, 2), chord(1, 1),
                           END})})),
         "events later than tick"},
        {"midi: thousands of tempo events and a hundred notes at one tick", "a.mid",
         as_text(smf(0, 96,
                     {cat({repeat_bytes(TEMPO_AT_ONCE, 5000),
                           repeat_bytes({0x00, 0x90, 60, 100, 0x00, 0x80, 60, 0}, 120), END})})),
         nullptr},
    };
}

class LoadLimits : public FileTest {
  protected:
    int load(const std::string &name, const std::string &data) {
        write_text(path(name), data);
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".seq") == 0)
            return readfile(path(name).c_str(), &g_score);
        return midi_import(path(name).c_str(), &g_score);
    }
};

TEST_F(LoadLimits, HostileFilesAreRefusedAndFilesWithinTheLimitsLoad) {
    for (const limit_case &c : limit_cases()) {
        SCOPED_TRACE(c.name);
        destroy_score(&g_score);
        init_g_score();
        measure *first = g_score.measures.head;
        captured_messages().clear();
        int ok = load(c.file, c.data);
        if (!c.message) {
            EXPECT_EQ(ok, 1);
            EXPECT_TRUE(captured_messages().empty());
            continue;
        }
        EXPECT_EQ(ok, 0);
        expect_fresh(&g_score, first);
        ASSERT_EQ(captured_messages().size(), 1u);
        const std::string &text = captured_messages()[0];
        EXPECT_EQ(text.rfind(path(c.file), 0), 0u) << text;
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
    }
}

TEST_F(LoadLimits, OversizedFilesAreRefusedUnread) {
    for (const char *name : {"big.seq", "big.mid"}) {
        SCOPED_TRACE(name);
        captured_messages().clear();
        write_text(path(name), SEQ_HEAD + "m 0 4 4\n");
        ASSERT_EQ(truncate(path(name).c_str(), SCORE_FILE_MAX_BYTES + 1), 0);
        measure *first = g_score.measures.head;
        int ok = std::string(name) == "big.seq" ? readfile(path(name).c_str(), &g_score)
                                                : midi_import(path(name).c_str(), &g_score);
        EXPECT_EQ(ok, 0);
        expect_fresh(&g_score, first);
        ASSERT_FALSE(captured_messages().empty());
        EXPECT_NE(captured_messages().back().find(std::to_string(SCORE_FILE_MAX_BYTES)),
                  std::string::npos);
    }
}

TEST_F(LoadLimits, RefusedSeqFileLeavesAnEditedScoreAsItWas) {
    note *kept = add_note(g_score.measures.head, 0, 4, 192);
    expand_and_validate(&g_score);
    EXPECT_EQ(load("a.seq", SEQ_HEAD + repeat("m 0 4 4\n", 20001)), 0);
    ASSERT_EQ(g_score.measures.num, 1);
    EXPECT_EQ(g_score.measures.head->notes.head, kept);
}

// Elements at one tick keep the order of the file, sorted as one insertion after another would.
TEST_F(LoadLimits, ElementsAtOneTickKeepTheirFileOrder) {
    ASSERT_EQ(load("a.seq", SEQ_HEAD + "m 0 4 4\nt 96 70\nt 0 80\nt 96 90\nt 0 100\n"
                                       "n 96 2 0 96 0 1\nn 0 2 0 96 0 2\nn 0 0 0 96 0 3\n"
                                       "n 0 2 0 96 0 4\n"),
              1);
    std::vector<int> values, volumes;
    for (m_event *e = g_score.measures.head->m_events.head; e; e = e->next)
        values.push_back(e->value);
    for (note *n = g_score.measures.head->notes.head; n; n = n->next)
        if (!n->rest)
            volumes.push_back(n->volume);
    EXPECT_EQ(values, (std::vector<int>{80, 100, 70, 90}));
    EXPECT_EQ(volumes, (std::vector<int>{3, 2, 4, 1}));
}

struct expansion_case {
    int num, bit; // signature of the one measure the score starts with
    int x, len;   // the one whole note
    int measures; // measures before expansion (all of that signature)
};

// The count made before expansion is exactly what the expansion makes.
TEST_F(LoadLimits, PieceCountBeforeExpansionMatchesTheExpansion) {
    const expansion_case cases[] = {
        {4, 4, 0, 192, 1},     {4, 4, 576, 384, 1}, {4, 4, 0, 240, 2},    {3, 4, 384, 768, 2},
        {1, 32, 0, 32767, 1},  {7, 8, 3, 1001, 3},  {5, 16, 1, 32767, 4}, {170, 4, 17, 32767, 1},
        {7, 1024, 2, 4999, 1}, {4, 4, 5, 7, 1},
    };
    for (const expansion_case &c : cases) {
        SCOPED_TRACE(std::to_string(c.num) + "/" + std::to_string(c.bit) + " x" +
                     std::to_string(c.x) + " len" + std::to_string(c.len));
        destroy_score(&g_score);
        init_g_score();
        set_measure(g_score.measures.head, c.num, c.bit, 0);
        for (int i = 1; i < c.measures; i++)
            append_measure(c.num, c.bit, 0);
        add_note(g_score.measures.head, c.x, 0, c.len);
        expansion_size size = score_expansion_size(g_score.measures.head, SCORE_MAX_PIECES);
        score_expand_by_measure(&g_score);
        int64_t pieces = 0;
        for (measure *m = g_score.measures.head; m; m = m->next)
            pieces += m->notes.num;
        EXPECT_EQ(size.pieces, pieces);
        EXPECT_EQ(c.measures + size.appended_measures, g_score.measures.num);
    }
}

TEST(BulkSort, AppendingAndSortingOnceEqualsSortedInsertions) {
    std::mt19937 rng(12);
    for (int round = 0; round < 20; round++) {
        note_list one_by_one, bulk;
        init_note_list(&one_by_one);
        init_note_list(&bulk);
        int count = static_cast<int>(rng() % 200);
        for (int i = 0; i < count; i++) {
            int x = static_cast<int>(rng() % 6), pitch = static_cast<int>(rng() % 4);
            for (note_list *l : {&one_by_one, &bulk}) {
                note *n = new_note();
                n->x = x;
                n->pitch = static_cast<int16_t>(pitch);
                n->volume = static_cast<uint8_t>(i);
                if (l == &bulk)
                    _append_note_list(l, n);
                else
                    _insert_sorted_note_list(l, n, note_comp);
            }
        }
        sort_note_list(&bulk);
        std::vector<int> a, b;
        for (note *n = one_by_one.head; n; n = n->next)
            a.push_back(n->volume);
        for (note *n = bulk.head; n; n = n->next)
            b.push_back(n->volume);
        EXPECT_EQ(a, b);
        ASSERT_EQ(bulk.num, count);
        EXPECT_EQ(count ? bulk.tail->next : nullptr, nullptr);
        _destroy_note_list(&one_by_one, nullptr);
        _destroy_note_list(&bulk, nullptr);
    }
}

} // namespace
