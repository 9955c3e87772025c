// PIC16 export: bit sizes, the compression rules (the worked example, short repeats, random
// tables expanded back by a decoder), the exact text of a small score, the pitch-table shift,
// tempo scaling, tied notes, and the refusals of tables the firmware would misread.
#include <algorithm>
#include <random>
#include <unistd.h>

#include "file_test_util.h"
#include "files/pic16.h"

namespace {

typedef std::vector<int> bytes;

bytes compress(const bytes &in) {
    int traces = file_trace_on;
    file_trace_on = 0;
    out_buffer.assign(in.begin(), in.end());
    n_out_buffer = static_cast<int>(in.size());
    int n = do_compress();
    file_trace_on = traces;
    EXPECT_EQ(n, static_cast<int>(out_buffer.size()));
    return bytes(out_buffer.begin(), out_buffer.end());
}

// What the firmware plays: a back-reference plays its source once more, which must itself
// hold no back-reference.
bytes decode(const bytes &table) {
    bytes out;
    for (size_t i = 0; i < table.size(); i++) {
        if (table[i] != PIC16_REPEAT) {
            out.push_back(table[i]);
            continue;
        }
        EXPECT_LE(i + 2, table.size() - 1);
        int s = table[i + 1], e = table[i + 2];
        EXPECT_LT(s, e);
        EXPECT_LE(e, static_cast<int>(i));
        for (int k = s; k < e; k++) {
            EXPECT_NE(table[k], PIC16_REPEAT) << "reference into a reference at " << k;
            out.push_back(table[k]);
        }
        i += 2;
    }
    return out;
}

TEST(Pic16, BitSize) {
    const int cases[][2] = {{0, 0}, {1, 0},  {2, 1},   {3, 2},   {4, 2},
                            {5, 3}, {-5, 3}, {255, 8}, {256, 8}, {257, 9}};
    for (const auto &c : cases)
        EXPECT_EQ(bit_size(c[0]), c[1]) << c[0];
}

TEST(Pic16, WorkedCompressionExample) {
    enum { A = 1, B, C, D, E, F };
    EXPECT_EQ(compress({A, B, C, D, E, A, B, C, D, F}),
              (bytes{A, B, C, D, E, PIC16_REPEAT, 0, 4, F}));
    int applied = 0;
    for (int i = 0; i < n_compress_table; i++)
        if (compress_table[i].state == REPEAT_APPLIED) {
            applied++;
            EXPECT_EQ(compress_table[i].src_start, 0);
            EXPECT_EQ(compress_table[i].src_end, 4);
        }
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(size_of_compress_table, 21);
}

TEST(Pic16, OnlyRepeatsOfFourOrMoreAreReplaced) {
    EXPECT_EQ(compress({1, 2, 3, 9, 1, 2, 3, 8}), (bytes{1, 2, 3, 9, 1, 2, 3, 8}));
    EXPECT_EQ(compress({1, 2, 3, 4, 9, 1, 2, 3, 4}).size(), 8u);
    EXPECT_EQ(compress({}), bytes{});
}

// Random tables made of a few repeated phrases: every compressed table plays back as the
// original and is never longer.
TEST(Pic16, CompressedTablesDecodeToTheOriginal) {
    std::mt19937 rng(16);
    for (int round = 0; round < 200; round++) {
        bytes phrases[4];
        for (bytes &p : phrases)
            for (int k = 3 + static_cast<int>(rng() % 6); k > 0; k--)
                p.push_back(static_cast<int>(rng() % 6));
        bytes in;
        for (int k = 2 + static_cast<int>(rng() % 12); k > 0; k--) {
            const bytes &p = phrases[rng() % 4];
            in.insert(in.end(), p.begin(), p.end());
        }
        bytes out = compress(in);
        EXPECT_LE(out.size(), in.size());
        ASSERT_EQ(decode(out), in) << "round " << round;
    }
}

class Pic16Export : public FileTest {
  protected:
    std::string cwd;
    void SetUp() override {
        FileTest::SetUp();
        char buf[4096];
        ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
        cwd = buf;
        ASSERT_EQ(chdir(dir.c_str()), 0); // the listings go to the working directory
        g_score.default_tempo = 120;
    }
    void TearDown() override {
        ASSERT_EQ(chdir(cwd.c_str()), 0);
        FileTest::TearDown();
    }
    int write() {
        expand_and_validate(&g_score);
        return write_pic16(path("song.asm").c_str(), &g_score);
    }
    measure *first() { return g_score.measures.head; }
};

const char *const JUMP = "MOVF\tDATA_BUF,W\nADDWF\tPC,F\n";

TEST_F(Pic16Export, OneNoteScoreGivesTheExactFiles) {
    add_note(first(), 0, 0, 192);
    ASSERT_EQ(write(), 1);
    std::string head = std::string("GET_INFORMATION\nRETLW\t01H\nGET_DURATION_TABLE\n") + JUMP +
                       "RETLW\t08H\nRETLW\t018H\nGET_PITCH_TABLE\n" + JUMP +
                       "RETLW\t018H\nRETLW\t0ffH\nGET_MUSIC\n" + JUMP;
    EXPECT_EQ(read_all(path("song.asm")),
              head + "RETLW\t00H;0\nRETLW\t03H;1\nRETLW\t0ffH\nRETLW\t0ffH\n");
    EXPECT_EQ(read_all(path("out.asm")),
              head + "RETLW\t00H\nRETLW\t03H\nRETLW\t0ffH\nRETLW\t0ffH\n");
    std::string pass = "\t;m 0 4 4\n\t;n :0           :192 192\n\t;n :0           :576 576\n";
    EXPECT_EQ(read_all(path("out2.asm")), pass + pass);
}

TEST_F(Pic16Export, ShiftHoldsEveryPitchIndex) {
    const int cases[][2] = {{1, 1}, {3, 2}, {4, 3}}; // distinct pitches, shift
    for (const auto &c : cases) {
        destroy_score(&g_score);
        init_g_score();
        for (int i = 0; i < 4; i++)
            add_note(first(), i * 192, i % c[0], 192);
        ASSERT_EQ(write(), 1);
        EXPECT_EQ(n_pitch_table, c[0] + 1);
        EXPECT_EQ(pitch_table.back(), PIC16_REST_PITCH);
        EXPECT_NE(read_all(path("song.asm"))
                      .find("GET_INFORMATION\nRETLW\t0" + std::to_string(c[1]) + "H\n"),
                  std::string::npos);
    }
}

TEST_F(Pic16Export, TempoScalesTheDurations) {
    const int cases[][2] = {{60, 16}, {84, 16}, {85, 8}, {120, 8}, {170, 8}, {200, 4}};
    for (const auto &c : cases) {
        destroy_score(&g_score);
        init_g_score();
        add_tempo(first(), 0, c[0]);
        add_note(first(), 0, 0, 192);
        ASSERT_EQ(write(), 1);
        EXPECT_EQ(duration_table.front(), c[1]) << "tempo " << c[0];
    }
}

// The tied note is one byte with its whole length; its piece in the second measure appears
// in the listing only. Rests of every voice and notes of every track are all bytes.
TEST_F(Pic16Export, TiedNoteIsOneByteAndEveryTrackCounts) {
    g_score.track_num = 2;
    append_measure(4, 4, 0);
    add_note(first(), 384, 0, 768, 0);
    add_note(first(), 0, 5, 192, 1);
    ASSERT_EQ(write(), 1);
    // track 0: rest 384, note; rest 384 in measure 2; track 1: note, rest; rest in measure 2
    EXPECT_EQ(n_out_buffer, 6);
    EXPECT_NE(std::find(duration_table.begin(), duration_table.end(), 768 / 24),
              duration_table.end());
    EXPECT_NE(read_all(path("out2.asm")).find("\t;n :0           :768 384\n"), std::string::npos);
}

TEST_F(Pic16Export, TablesTheFirmwareWouldMisreadAreRefused) {
    // 40 pitches need 6 bits; 8 durations then overflow the byte
    for (int i = 0; i < 40; i++) {
        measure *m = i ? append_measure(4, 4, 0) : first();
        add_note(m, 0, i, 96 * (1 + i % 8));
    }
    EXPECT_EQ(write(), 0);
    EXPECT_EQ(access(path("song.asm").c_str(), F_OK), -1);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("do not fit"), std::string::npos);
}

TEST_F(Pic16Export, BackReferencesBeyondByte255AreRefused) {
    std::mt19937 rng(7);
    std::vector<int> pitches;
    for (int i = 0; i < 300; i++)
        pitches.push_back(static_cast<int>(rng() % 50));
    pitches.insert(pitches.end(), pitches.begin() + 280, pitches.begin() + 292);
    measure *m = first();
    for (size_t i = 0; i < pitches.size(); i++) {
        if (i && i % 4 == 0)
            m = append_measure(4, 4, 0);
        add_note(m, static_cast<int>(i % 4) * 192, pitches[i], 192);
    }
    EXPECT_EQ(write(), 0);
    EXPECT_EQ(access(path("song.asm").c_str(), F_OK), -1);
    EXPECT_EQ(access(path("out.asm").c_str(), F_OK), 0);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("beyond byte 255"), std::string::npos);
}

TEST_F(Pic16Export, UncreatableDestinationKeepsTheListings) {
    add_note(first(), 0, 0, 192);
    EXPECT_EQ(write_pic16(path("missing/song.asm").c_str(), &g_score), 0);
    EXPECT_EQ(access(path("out.asm").c_str(), F_OK), 0);
    EXPECT_EQ(access(path("out2.asm").c_str(), F_OK), 0);
}

} // namespace
