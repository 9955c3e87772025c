// LilyPond sketch export: the formatters, the exact text of small scores (staff choice,
// whole-measure rests, spelling, per-track voices, ties, tuplets, time changes) and the failure to
// create the file. Real compilation by lilypond is the end-to-end test's job.
#include "file_test_util.h"
#include "files/lilypond.h"

namespace {

const char *const EMPTY_TREBLE = "\\new Staff<<\\clef treble\n\\time\t4/4\n>>\n";
const char *const EMPTY_BASS = "\\new Staff<<\\clef bass\n\\time\t4/4\n>>\n";

class LilyPond : public FileTest {
  protected:
    std::string write() {
        expand_and_validate(&g_score);
        EXPECT_EQ(write_lilypond_sketch(path("a.ly").c_str(), &g_score), 1);
        return read_all(path("a.ly"));
    }
    measure *first() { return g_score.measures.head; }
};

std::string staff(const char *clef, const char *time, const std::string &voices) {
    return std::string("\\new Staff<<\\clef ") + clef + "\n\\time\t" + time + "\n" + voices +
           ">>\n";
}

std::string whole_score(const std::string &staves) {
    return " \\score {\n<<\n" + staves + ">>\n}\n";
}

TEST(LilyPondFormat, Durations) {
    struct {
        int len;
        const char *text;
    } cases[] = {{192, "4"},  {288, "4."}, {768, "1"}, {96, "8"},   {3, "256"},
                 {576, "2."}, {128, "4"},  {64, "8"},  {2, "256"},  {960, "1."},
                 {672, "2."}, {1, "256"},  {0, "256"}, {1536, "1."}};
    for (const auto &c : cases)
        EXPECT_STREQ(_get_duration_output(c.len), c.text) << c.len;
}

TEST(LilyPondFormat, OctavesAndAccidentals) {
    EXPECT_STREQ(get_octave_output(0), "");
    EXPECT_STREQ(get_octave_output(1), "'");
    EXPECT_STREQ(get_octave_output(3), "'''");
    EXPECT_STREQ(get_octave_output(-2), ",,");
    EXPECT_STREQ(get_prefix_output(1), "is");
    EXPECT_STREQ(get_prefix_output(2), "is");
    EXPECT_STREQ(get_prefix_output(-1), "es");
    EXPECT_STREQ(get_prefix_output(-2), "es");
    EXPECT_STREQ(get_prefix_output(0), "");
}

TEST_F(LilyPond, MiddleCOpensTheTrebleVoiceAndTracesItself) {
    add_note(first(), 0, 0, 192);
    file_trace_on = 1;
    testing::internal::CaptureStdout();
    std::string text = write();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0,1,0 \n");
    EXPECT_EQ(text, whole_score(staff("treble", "4/4", "{c'4 r2. |\n}\n") + EMPTY_BASS));
}

TEST_F(LilyPond, VoiceBelowMiddleCGoesToTheBassStaff) {
    add_note(first(), 0, -1, 384);
    add_note(first(), 384, -13, 384);
    EXPECT_EQ(write(), whole_score(EMPTY_TREBLE + staff("bass", "4/4", "{b2 b,2 |\n}\n")));
}

// A chord in the first measure makes two voices; the second measure holds only the upper
// one, so the lower voice rests for the whole measure, as long as the measure is.
TEST_F(LilyPond, AbsentVoiceRestsForTheWholeMeasure) {
    struct {
        int num, bit;
        const char *rest;
    } cases[] = {{4, 4, "r1"}, {3, 4, "r2."}, {5, 4, "r1 r4"}, {7, 8, "r2. r8"}};
    for (const auto &c : cases) {
        destroy_score(&g_score);
        init_g_score();
        set_measure(first(), c.num, c.bit, 0);
        measure *second = append_measure(c.num, c.bit, 0);
        add_note(first(), 0, 4, 192);
        add_note(first(), 0, -5, 192);
        add_note(second, 0, 7, 192);
        std::string text = write();
        EXPECT_NE(text.find(std::string("|\n") + c.rest + " |\n}"), std::string::npos)
            << c.num << "/" << c.bit << "\n"
            << text;
    }
}

TEST_F(LilyPond, SpellingInCWithAbsoluteOctaves) {
    add_note(first(), 0, 1, 192);
    add_note(first(), 192, 3, 192);
    add_note(first(), 384, 10, 96);
    add_note(first(), 480, 13, 96);
    add_note(first(), 576, 6, 192);
    std::string text = write();
    EXPECT_NE(text.find("{cis'4 ees'4 bes'8 cis''8 fis'4 |\n}"), std::string::npos) << text;
}

// Track 0's chord takes the first voice slots of the measure; track 1 still writes one voice
// of its own, not empty ones numbered after track 0's.
TEST_F(LilyPond, VoicesAreNumberedPerTrack) {
    track_num = 2;
    add_note(first(), 0, -20, 768, 0);
    add_note(first(), 0, -17, 768, 0);
    add_note(first(), 0, -13, 768, 0);
    add_note(first(), 0, 12, 768, 1);
    std::string text = write();
    std::string track1 = staff("treble", "4/4", "{c''1 |\n}\n") + EMPTY_BASS;
    ASSERT_GE(text.size(), track1.size() + 5);
    EXPECT_EQ(text.substr(text.size() - track1.size() - 5, track1.size()), track1) << text;
}

TEST_F(LilyPond, TiesTupletsAndTimeChanges) {
    measure *second = append_measure(3, 4, 0);
    add_note(first(), 0, 0, 128);
    add_note(first(), 128, 2, 128);
    add_note(first(), 256, 4, 128);
    add_note(first(), 384, 5, 576);
    add_note(second, 192, 7, 240);
    std::string text = write();
    EXPECT_NE(text.find("{\\tuplet 3/2 { c'4 d'8~ d'8 e'4 } f'2~ |\n"
                        "\\time 3/4 f'4 g'4~ g'16 r8. |\n}"),
              std::string::npos)
        << text;
}

TEST_F(LilyPond, TrackWithoutNotesHasBothStavesAndNoVoice) {
    track_num = 2;
    add_note(first(), 0, 0, 768, 1);
    std::string text = write();
    EXPECT_EQ(text.find(" \\score {\n<<\n" + std::string(EMPTY_TREBLE) + EMPTY_BASS), 0u) << text;
}

TEST_F(LilyPond, UncreatableFileIsReportedAndNothingIsLeft) {
    add_note(first(), 0, 0, 192);
    EXPECT_EQ(write_lilypond_sketch(path("missing/a.ly").c_str(), &g_score), 0);
    EXPECT_EQ(count_files(dir), 0);
}

} // namespace
