// The engraved LilyPond source: key signatures and their changes, the pickup, spelling as the
// score spells it, chords and ties, staff choice per track, titles and instrument names, the
// paper size of the environment and the names of the parts. LilyPond itself compiles the
// source in the end-to-end test.
#include <array>
#include <cstdlib>
#include <sys/stat.h>

#include "file_test_util.h"
#include "files/engrave.h"
#include "files/lilypond.h"

namespace {

class LilyPondScore : public FileTest {
  protected:
    void SetUp() override {
        FileTest::SetUp();
        ly_setup = lilypond_setup();
        ly_setup.title = "song";
    }
    std::string write() {
        expand_and_validate(&g_score);
        EXPECT_EQ(write_lilypond(path("a.ly").c_str(), &g_score), 1);
        return read_all(path("a.ly"));
    }
    // The text between the line that starts with from and the next line that is "}".
    std::string block(const std::string &text, const std::string &from) {
        size_t a = text.find(from);
        size_t b = text.find("\n}\n", a);
        return a == std::string::npos || b == std::string::npos ? "" : text.substr(a, b + 3 - a);
    }
    measure *first() { return g_score.measures.head; }
    // A note spelled as given (step 0..6 = C..B, alteration) in octave level (0: from middle C).
    note *spelled(measure *m, int x, int len, int step, int level, int alteration) {
        note *n = add_note(m, x, 0, len);
        set_note_pos(0, n, level * 7 + step, alteration, 0);
        return n;
    }
};

TEST_F(LilyPondScore, KeySignaturesAndTheirChanges) {
    set_measure(first(), 4, 4, 0);
    append_measure(4, 4, 3);
    append_measure(4, 4, 3);
    append_measure(3, 4, -2);
    append_measure(3, 4, -7);
    add_note(first(), 0, 0, 192);
    EXPECT_EQ(block(write(), "global = {"), "global = {\n"
                                            "\\time 4/4 \\key c \\major s1 |\n"
                                            "\\key a \\major s1 |\n"
                                            "s1 |\n"
                                            "\\time 3/4 \\key bes \\major s1*3/4 |\n"
                                            "\\key ces \\major s1*3/4 |\n}\n");
}

TEST_F(LilyPondScore, ShortFirstMeasureIsAPickup) {
    struct {
        int num, bit;
        const char *global;
    } cases[] = {
        {1, 4, "\\time 4/4 \\key c \\major \\partial 1*1/4 s1*1/4 |\ns1 |\n"},
        {3, 8, "\\time 4/4 \\key c \\major \\partial 1*3/8 s1*3/8 |\ns1 |\n"},
        {4, 4, "\\time 4/4 \\key c \\major s1 |\ns1 |\n"},
    };
    for (const auto &c : cases) {
        destroy_score(&g_score);
        init_g_score();
        set_measure(first(), c.num, c.bit, 0);
        append_measure(4, 4, 0);
        add_note(first(), 0, 0, 96);
        EXPECT_EQ(block(write(), "global = {"), std::string("global = {\n") + c.global + "}\n")
            << c.num << "/" << c.bit;
    }
}

TEST_F(LilyPondScore, NotesAreSpelledAsTheScoreSpellsThem) {
    set_measure(first(), 4, 4, 3);
    spelled(first(), 0, 192, 5, 0, 1);   // A sharp
    spelled(first(), 192, 192, 1, 1, 1); // D sharp
    spelled(first(), 384, 96, 2, 0, 1);  // E sharp
    spelled(first(), 480, 96, 0, 1, -1); // C flat
    spelled(first(), 576, 96, 3, -1, 2); // F double sharp
    note *wrong = spelled(first(), 672, 96, 4, 0, 0);
    wrong->pitch = 8; // disagrees with its spelling: the key spells it (G sharp in A)
    std::string text = write();
    EXPECT_NE(text.find("ais'4 dis''4 eis'8 ces''8 fisis8 gis'8 |\n"), std::string::npos) << text;
}

TEST_F(LilyPondScore, ChordsAndTiesStayInOneVoice) {
    measure *second = append_measure(4, 4, 0);
    add_note(first(), 0, 0, 192);
    add_note(first(), 0, 4, 192);
    add_note(first(), 192, 7, 576 + 192);
    add_note(second, 192, 0, 96);
    std::string text = write();
    EXPECT_NE(text.find("\\new Voice { \n<c' e'>4 g'2.~ |\ng'4 c'8 r8 r2 |\n}"), std::string::npos)
        << text;
}

// A staccato note's dot follows the duration of its first value, before any tie; a chord
// carries it after the chord.
TEST_F(LilyPondScore, StaccatoDotOnTheFirstValueOfTheNote) {
    struct {
        const char *name;
        std::vector<std::array<int, 4>> notes; // x, pitch, length, staccato; in two 4/4 measures
        const char *voice;                     // the voice's measures
    } cases[] = {
        {"a staccato quarter", {{0, 0, 192, 1}}, "c'4-. r2. |\nR1 |\n"},
        {"a plain quarter", {{0, 0, 192, 0}}, "c'4 r2. |\nR1 |\n"},
        {"split into two values", {{0, 0, 480, 1}}, "c'2-.~ c'8 r4. |\nR1 |\n"},
        {"tied over the bar line", {{576, 7, 384, 1}}, "r2. g'4-.~ |\ng'4 r2. |\n"},
        {"a chord, one of its notes staccato",
         {{0, 0, 192, 1}, {0, 4, 192, 0}},
         "<c' e'>4-. r2. |\nR1 |\n"},
        {"a staccato triplet",
         {{0, 0, 64, 1}, {64, 2, 64, 0}, {128, 4, 64, 0}},
         "\\tuplet 3/2 { c'8-. d'8 e'8 } r2. |\nR1 |\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        score_of_marked_notes(c.notes);
        std::string text = write();
        EXPECT_NE(text.find(std::string("\\new Voice { \n") + c.voice + "}"), std::string::npos)
            << text;
    }
}

// A tie over the bar line from the second voice: the continuation opens that voice in the next
// measure even when the first voice has nothing there.
TEST_F(LilyPondScore, TieKeepsItsVoiceOverTheBarLine) {
    append_measure(4, 4, 0);
    add_note(first(), 0, 0, 384);   // voice one
    add_note(first(), 0, 4, 576);   // voice two
    add_note(first(), 384, 7, 384); // voice one again
    add_note(first(), 576, 5, 384); // voice two, tied over the bar line
    std::string text = write();
    EXPECT_NE(text.find("\\voiceOne \nc'2 g'2 |\nR1 |\n}\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\\voiceTwo \ne'2. f'4~ |\nf'4 r2. |\n}\n"), std::string::npos) << text;
}

// Tied notes that go on for different lengths after the bar line stay in the voice they came
// from: the chord there lasts as long as its shortest note, and the longer ones go on tied in
// that voice. Every tie of the score is written.
TEST_F(LilyPondScore, TiedChordGoingOnForDifferentLengthsKeepsEveryTie) {
    struct {
        int lower_len, upper_len; // how long the two notes go on after the first bar line
        int other_x, other_len;   // an untied note starting in the second measure (len 0: none)
        const char *voice_one;
    } cases[] = {
        {192, 768, 0, 0, "<c'~ e'~>1 |\n<c' e'~>4 e'2. |\n"},
        {768, 384, 0, 0, "<c'~ e'~>1 |\n<c'~ e'>2 c'2 |\n"},
        {384, 384, 0, 0, "<c'~ e'~>1 |\n<c' e'>2 r2 |\n"},
        {192, 768, 192, 576, "<c'~ e'~>1 |\n<c' e'~>4 <e' g'>2. |\n"},
        {192, 768, 0, 192, "<c'~ e'~>1 |\n<c' e'~ g'>4 e'2. |\n"},
    };
    for (const auto &c : cases) {
        destroy_score(&g_score);
        init_g_score();
        append_measure(4, 4, 0);
        add_note(first(), 0, 0, 768 + c.lower_len);
        add_note(first(), 0, 4, 768 + c.upper_len);
        if (c.other_len)
            add_note(first()->next, c.other_x, 7, c.other_len);
        std::string text = write();
        EXPECT_NE(text.find(std::string("\\new Voice { \n") + c.voice_one + "}\n"),
                  std::string::npos)
            << c.lower_len << " " << c.upper_len << "\n"
            << text;
    }
}

// Two notes of one pitch sounding together are written once, and that note carries the tie of
// either, whichever of them the measure lists first; but a note tied in that a note of its pitch
// starting there doubles is struck again, so the tie into it is not written.
TEST_F(LilyPondScore, DoubledNoteCarriesTheTieOfEither) {
    struct {
        int first_len, second_len; // from the last quarter of the first measure
        bool second_in_next_measure;
        const char *voice;
    } cases[] = {
        {384, 192, false, "r2. c'4~ |\nc'4 r2. |\n"},
        {192, 384, false, "r2. c'4~ |\nc'4 r2. |\n"},
        {384, 192, true, "r2. c'4 |\nc'4 r2. |\n"},
    };
    for (const auto &c : cases) {
        destroy_score(&g_score);
        init_g_score();
        measure *second = append_measure(4, 4, 0);
        add_note(first(), 576, 0, c.first_len);
        if (c.second_in_next_measure)
            add_note(second, 0, 0, c.second_len);
        else
            add_note(first(), 576, 0, c.second_len);
        std::string text = write();
        EXPECT_NE(text.find(std::string("\\new Voice { \n") + c.voice + "}\n"), std::string::npos)
            << c.first_len << " " << c.second_len << "\n"
            << text;
    }
}

TEST_F(LilyPondScore, StaffPerTrackByTheClefsItNeeds) {
    g_score.track_num = 4;
    init_track_info(&g_score);
    g_score.tracks[1].patch = 40;
    g_score.tracks[2].patch = 46;
    add_note(first(), 0, 12, 768, 0);  // treble only
    add_note(first(), 0, -15, 768, 1); // bass only
    add_note(first(), 0, 20, 384, 2);  // both: a harp takes the piano staff
    add_note(first(), 384, -20, 384, 2);
    // track 3 has no notes and gets no staff
    std::string text = write();
    EXPECT_NE(text.find("\\new Staff \\with { instrumentName = \"Acoustic Grand Piano\" } << "
                        "\\clef treble \\global\n\\tempi\n\\new Voice { \nc''1 |\n}\n>>\n"
                        "\\new Staff \\with { instrumentName = \"Violin\" } << \\clef bass "
                        "\\global\n\\new Voice { \na,1 |\n}\n>>\n"
                        "\\new PianoStaff \\with { instrumentName = \"Orchestral Harp\" } <<\n"
                        "\\new Staff << \\clef treble \\global\n\\new Voice { \ngis''2 r2 |\n}\n"
                        ">>\n\\new Staff << \\clef bass \\global\n\\new Voice { \nr2 e,2 |\n}\n"
                        ">>\n>>\n>>\n"),
              std::string::npos)
        << text;
}

TEST_F(LilyPondScore, HeaderTempoAndParts) {
    g_score.track_num = 2;
    init_track_info(&g_score);
    g_score.tracks[1].patch = 40;
    add_note(first(), 0, 0, 768, 0);
    add_note(first(), 0, 7, 768, 1);
    add_tempo(first(), 0, 96);
    add_tempo(first(), 384, 80);
    ly_setup.title = "a \"b\" \\c";
    ly_setup.subtitle = "Violin";
    ly_setup.part = 1;
    ly_setup.paper = "letter";
    std::string text = write();
    EXPECT_EQ(text.substr(0, text.find("global")),
              "\\version \"2.24.0\"\n#(set-default-paper-size \"letter\")\n"
              "\\paper { system-system-spacing = #'((basic-distance . 18) (minimum-distance . 16) "
              "(padding . 2)) }\n\\header {\n"
              "  title = \"a \\\"b\\\" \\\\c\"\n  subtitle = \"Violin\"\n  tagline = ##f\n}\n");
    EXPECT_EQ(block(text, "tempi = {"),
              "tempi = {\n\\tempo 4 = 96 s1*1/2 \\tempo 4 = 80 s1*1/2 |\n}\n");
    EXPECT_EQ(text.find("Acoustic Grand Piano"), std::string::npos) << text;
    EXPECT_NE(text.find("\\layout { indent = 15\\mm\n  \\context { \\Staff"), std::string::npos)
        << text;
}

// A cancel from the progress hook stops LilyPond at once; neither the PDF nor a temporary
// file is left, and the message says nothing was written.
TEST_F(LilyPondScore, CancelledEngravingWritesNothing) {
    if (!program_on_path("lilypond"))
        GTEST_SKIP() << "lilypond is not installed";
    add_note(first(), 0, 0, 768);
    expand_and_validate(&g_score);
    captured_messages().clear();
    file_message_hook = capture_message;
    engrave_progress_hook = [](double) { return 0; };
    EXPECT_EQ(write_engraved(path("a.pdf").c_str(), &g_score, ENGRAVE_PDF), 0);
    engrave_progress_hook = nullptr;
    file_message_hook = nullptr;
    EXPECT_EQ(count_files(dir), 0);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_EQ(captured_messages()[0], "engraving cancelled: nothing was written");
}

// A LilyPond that fails (a stand-in first on PATH) is reported with its error line, and
// nothing is written; one that is missing is named as the package to install.
TEST_F(LilyPondScore, FailingOrMissingLilyPondWritesNothing) {
    std::string bin = path("bin");
    mkdir(bin.c_str(), 0755);
    write_text(bin + "/lilypond", "#!/bin/sh\necho 'score-0.ly:1:1: error: boom'\nexit 1\n");
    chmod((bin + "/lilypond").c_str(), 0755);
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    add_note(first(), 0, 0, 768);
    expand_and_validate(&g_score);
    file_message_hook = capture_message;
    struct {
        std::string path;
        const char *message;
    } cases[] = {
        {bin, "lilypond failed: score-0.ly:1:1: error: boom"},
        {path("none"), "cannot engrave: lilypond is not installed (install the Debian package "
                       "\"lilypond\")"},
    };
    for (const auto &c : cases) {
        captured_messages().clear();
        setenv("PATH", c.path.c_str(), 1);
        EXPECT_EQ(write_engraved(path("a.pdf").c_str(), &g_score, ENGRAVE_PDF), 0);
        setenv("PATH", saved.c_str(), 1);
        EXPECT_EQ(count_files(dir), 1); // the stand-in's directory alone
        ASSERT_EQ(captured_messages().size(), 1u);
        EXPECT_EQ(captured_messages()[0], c.message);
    }
    file_message_hook = nullptr;
}

TEST(Engrave, PaperSizeOfTheEnvironment) {
    const char *conf = "/tmp/plinkel_papersize_test";
    struct {
        const char *env, *file, *paper;
    } cases[] = {{"letter", "a5", "letter"},
                 {nullptr, "a5\n", "a5"},
                 {"a4; rm", "legal", "legal"},
                 {nullptr, "", "a4"},
                 {nullptr, "../x", "a4"}};
    for (const auto &c : cases) {
        write_text(conf, c.file);
        setenv("PAPERCONF", conf, 1);
        if (c.env)
            setenv("PAPERSIZE", c.env, 1);
        else
            unsetenv("PAPERSIZE");
        EXPECT_EQ(environment_paper_size(), c.paper) << c.file;
    }
    unsetenv("PAPERSIZE");
    unsetenv("PAPERCONF");
    std::remove(conf);
}

TEST(Engrave, FormatsAndPartNames) {
    init_track_info(&g_score);
    g_score.tracks[2].patch = 40;
    g_score.tracks[3].patch = 128;
    EXPECT_EQ(engrave_format_of("a/song.PDF"), ENGRAVE_PDF);
    EXPECT_EQ(engrave_format_of("song.svg"), ENGRAVE_SVG);
    EXPECT_EQ(engrave_format_of("song.png"), ENGRAVE_PNG);
    EXPECT_EQ(engrave_format_of("a.pdf/song"), ENGRAVE_NONE);
    EXPECT_EQ(part_path("dir/song.pdf", 1, 2), "dir/song-1-Violin.pdf");
    EXPECT_EQ(part_path("song.png", 2, 3), "song-2-Drums.png");
    EXPECT_EQ(part_path("my.dir/song", 3, 0), "my.dir/song-3-Acoustic_Grand_Piano.pdf");
}

} // namespace
