// The configuration file "plinkel.cfg" and its tokenizer: the quoted path and four numbers, a
// file that does not start with a string, missing fields repeating the last number, the minus
// sign as a token of its own, long texts, and writing the mode back.
#include <allegro.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "editor/config.h"
#include "editor/state.h"
#include "base/strutil.h"

namespace {

std::string read_file(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Each case gets its own scratch directory; config_file_name points into it.
struct Config : ::testing::Test {
    char dir[64] = "/tmp/plinkel_config_XXXXXX";
    std::string path;
    const char *saved_name = nullptr;
    char saved_filename[FILENAME_SIZE];

    void SetUp() override {
        ASSERT_NE(mkdtemp(dir), nullptr);
        path = std::string(dir) + "/plinkel.cfg";
        saved_name = config_file_name;
        config_file_name = path.c_str();
        std::memcpy(saved_filename, filename, sizeof(filename));
        config_defaults();
    }
    void TearDown() override {
        config_file_name = saved_name;
        std::memcpy(filename, saved_filename, sizeof(filename));
        config_defaults();
        std::remove(path.c_str());
        rmdir(dir);
    }
    // Reads a configuration holding text and returns what read_config printed.
    std::string read_from(const std::string &text) {
        write_file(path, text);
        ::testing::internal::CaptureStdout();
        read_config();
        return ::testing::internal::GetCapturedStdout();
    }
    void expect_mode(int depth, int w, int h, int full) {
        EXPECT_EQ(bpp, depth);
        EXPECT_EQ(screen_w, w);
        EXPECT_EQ(screen_h, h);
        EXPECT_EQ(full_screen, full);
    }
};

TEST_F(Config, DefaultsAreEightBits640x480Windowed) {
    bpp = 32;
    screen_w = screen_h = full_screen = 1;
    config_defaults();
    expect_mode(8, 640, 480, 0);
}

TEST_F(Config, QuotedPathThenFourNumbers) {
    std::string echo = read_from("\"/home/u/song.seq\" 16 800 600 1\n");
    expect_mode(16, 800, 600, 1);
    EXPECT_STREQ(filename, "/home/u/song.seq");
    EXPECT_EQ(echo, "/home/u/song.seq 16 800 600 1 \n");
}

TEST_F(Config, PathWithBlanksInsideQuotes) {
    read_from("\"my dir/a b.seq\"\t24\r\n1024   768 0");
    expect_mode(24, 1024, 768, 0);
    EXPECT_STREQ(filename, "my dir/a b.seq");
}

TEST_F(Config, FirstTokenNumberIgnoresFile) {
    std::string echo = read_from("16 800 600 1\n");
    expect_mode(8, 640, 480, 0);
    EXPECT_EQ(echo, "");
    EXPECT_STREQ(filename, "");
}

TEST_F(Config, FirstTokenIdentifierIgnoresFile) {
    read_from("untitled 16 800 600 1\n");
    expect_mode(8, 640, 480, 0);
}

TEST_F(Config, EmptyFileKeepsDefaults) {
    std::string echo = read_from("");
    expect_mode(8, 640, 480, 0);
    EXPECT_EQ(echo, "");
}

TEST_F(Config, BlankFileKeepsDefaults) {
    read_from(" \n\t\r\n");
    expect_mode(8, 640, 480, 0);
}

TEST_F(Config, MissingFileChangesNothingButEmptiesFilename) {
    std::strcpy(filename, "old.seq");
    ::testing::internal::CaptureStdout();
    read_config();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    expect_mode(8, 640, 480, 0);
    EXPECT_STREQ(filename, "");
}

TEST_F(Config, MissingFieldsRepeatTheLastNumber) {
    std::string echo = read_from("\"p\" 16 800");
    expect_mode(16, 800, 800, 800);
    EXPECT_EQ(echo, "p 16 800 800 800 \n");
}

TEST_F(Config, MinusSignIsATokenOfItsOwn) {
    read_from("\"p\" 16 800 600 -1\n");
    // The minus sign fills the last field with the number before it; the 1 is discarded.
    expect_mode(16, 800, 600, 600);
}

TEST_F(Config, FieldThatIsNotANumberTakesTheLastNumber) {
    read_from("\"p\" 16 wide 600 1\n");
    expect_mode(16, 16, 600, 1);
}

TEST_F(Config, TrailingTextAfterTheFiveFieldsIsIgnored) {
    read_from("\"p\" 15 320 200 0 extra 99 tokens\n");
    expect_mode(15, 320, 200, 0);
}

TEST_F(Config, LongPathIsCutTo510Characters) {
    std::string long_path(600, 'a');
    read_from("\"" + long_path + "\" 16 800 600 0\n");
    EXPECT_EQ(std::strlen(filename), 510u);
    EXPECT_EQ(std::string(filename), long_path.substr(0, 510));
    expect_mode(16, 800, 600, 0);
}

TEST_F(Config, UnterminatedStringRunsToEndOfFile) {
    read_from("\"no closing quote 16 800 600 1");
    EXPECT_STREQ(filename, "no closing quote 16 800 600 1");
    expect_mode(8, 640, 480, 0); // no number at all: the mode falls back as below
}

// A line cut short (a full disk, a hand edit) must not leave a mode that no driver can set.
TEST_F(Config, PathOnlyFallsBackToTheDefaultMode) {
    std::string echo = read_from("\"x\"\n");
    EXPECT_EQ(echo, "x 0 0 0 0 \n"); // the echo shows the file as read
    expect_mode(8, 640, 480, 0);
    EXPECT_STREQ(filename, "x");
}

TEST_F(Config, UnsupportedDepthBecomesEight) {
    for (int depth : {0, 1, 4, 12, 17, 64, 999}) {
        SCOPED_TRACE(depth);
        read_from("\"p\" " + std::to_string(depth) + " 800 600 1\n");
        expect_mode(8, 800, 600, 1);
    }
}

TEST_F(Config, SupportedDepthsAreKept) {
    for (int depth : {8, 15, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        read_from("\"p\" " + std::to_string(depth) + " 800 600 0\n");
        expect_mode(depth, 800, 600, 0);
    }
}

TEST_F(Config, ZeroSizeFallsBackTo640x480) {
    read_from("\"p\" 16 0 0 0\n");
    expect_mode(16, 640, 480, 0);
    read_from("\"p\" 16 0 600 0\n");
    expect_mode(16, 640, 600, 0);
}

TEST_F(Config, WriteStoresDirectoryJoinedWithUntitled) {
    std::strcpy(filename, "/home/u/music/song.seq");
    write_config();
    EXPECT_EQ(read_file(path), "\"/home/u/music/untitled\" 8 640 480 0\n");
}

TEST_F(Config, WriteWithBareFileNameStoresUntitled) {
    std::strcpy(filename, "song.seq");
    write_config();
    EXPECT_EQ(read_file(path), "\"untitled\" 8 640 480 0\n");
}

TEST_F(Config, WriteRecordsRequestedModeWithoutAScreen) {
    std::strcpy(filename, "untitled");
    screen_w = 800;
    screen_h = 600;
    full_screen = 1;
    write_config();
    EXPECT_EQ(read_file(path), "\"untitled\" 8 800 600 1\n");
}

TEST_F(Config, WriteThenReadGivesTheSameMode) {
    std::strcpy(filename, "/a/b.seq");
    screen_w = 1024;
    screen_h = 768;
    write_config();
    config_defaults();
    read_from(read_file(path));
    expect_mode(8, 1024, 768, 0);
    EXPECT_STREQ(filename, "/a/untitled");
}

// Whatever bytes the working file name holds, the line written keeps the mode for the next start:
// a directory the quoted field cannot hold is not remembered, and bytes that are no UTF-8 are
// kept as they are (both found by fuzzing: the library's replace_filename turned "\xa2" into a
// quote and looped forever on "\xff\xab").
TEST_F(Config, AnyFileNameKeepsTheModeIntact) {
    struct {
        const char *name, *written;
    } cases[] = {
        {"/home/u/my \"best\"/song.seq", "\"untitled\" 8 800 600 0\n"},
        {"/a\nb/song.seq", "\"untitled\" 8 800 600 0\n"},
        {"/c\rd/song.seq", "\"untitled\" 8 800 600 0\n"},
        {"\xa2"
         "1h/",
         "\"\xa2"
         "1h/untitled\" 8 800 600 0\n"},
        {")k\xab\xab\\\\/\xff\xff\xff 12\x96\xfd/s.seq",
         "\")k\xab\xab\\\\/\xff\xff\xff 12\x96\xfd/untitled\" 8 800 600 0\n"},
        {"/h/\xc3\xa9t\xc3\xa9/s.seq", "\"/h/\xc3\xa9t\xc3\xa9/untitled\" 8 800 600 0\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        str_n_cpy(filename, c.name, FILENAME_SIZE);
        screen_w = 800;
        screen_h = 600;
        full_screen = 0;
        write_config();
        EXPECT_EQ(read_file(path), c.written);
        config_defaults();
        read_from(read_file(path));
        expect_mode(8, 800, 600, 0);
    }
}

TEST_F(Config, UnwritableFileIsSkippedSilently) {
    std::string missing_dir = std::string(dir) + "/no/such/dir/plinkel.cfg";
    config_file_name = missing_dir.c_str();
    write_config();
    std::FILE *f = std::fopen(missing_dir.c_str(), "r");
    EXPECT_EQ(f, nullptr);
    config_file_name = path.c_str();
}

// The tokenizer on its own, reading from a temporary stream.
struct Tokens : ::testing::Test {
    std::FILE *f = nullptr;
    void open(const std::string &text) {
        f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::rewind(f);
        config_init_parser(f);
    }
    void TearDown() override {
        if (f)
            std::fclose(f);
    }
};

TEST_F(Tokens, KindsOfTokens) {
    open("name_1 \"str\" 42 = -");
    EXPECT_EQ(config_get_token(f), CONFIG_IDENT);
    EXPECT_STREQ(config_yytext, "name_1");
    EXPECT_EQ(config_get_token(f), CONFIG_STRING);
    EXPECT_STREQ(config_yytext, "str");
    EXPECT_EQ(config_get_token(f), CONFIG_NUMBER);
    EXPECT_EQ(config_yyval, 42);
    EXPECT_STREQ(config_yytext, "42");
    EXPECT_EQ(config_get_token(f), '=');
    EXPECT_EQ(config_get_token(f), '-');
    EXPECT_EQ(config_get_token(f), CONFIG_EOF);
    EXPECT_EQ(config_get_token(f), CONFIG_EOF);
    EXPECT_EQ(config_yytype, CONFIG_EOF);
}

// Whatever the file holds, the tokenizer reads no more than CONFIG_MAX_BYTES of it.
TEST_F(Tokens, NothingPastTheReadingLimitIsRead) {
    struct {
        std::string text;
        int first; // kind of the first token; the next one is the end
    } cases[] = {
        {"\"" + std::string(100000, 'a'), CONFIG_STRING},
        {"7" + std::string(CONFIG_MAX_BYTES, ' ') + "9", CONFIG_NUMBER},
        {std::string(100000, '5'), CONFIG_NUMBER},
    };
    for (const auto &c : cases) {
        open(c.text);
        EXPECT_EQ(config_get_token(f), c.first);
        EXPECT_EQ(config_get_token(f), CONFIG_EOF);
        EXPECT_LE(std::ftell(f), CONFIG_MAX_BYTES);
        std::fclose(f);
        f = nullptr;
    }
}

TEST_F(Tokens, ValueSurvivesOtherTokens) {
    open("7 abc \"s\" ;");
    config_get_token(f);
    config_get_token(f);
    config_get_token(f);
    config_get_token(f);
    EXPECT_EQ(config_yyval, 7);
}

TEST_F(Tokens, InitResetsValueToZero) {
    open("abc");
    EXPECT_EQ(config_yyval, 0);
}

TEST_F(Tokens, NumberStopsAtALetter) {
    open("12ab");
    EXPECT_EQ(config_get_token(f), CONFIG_NUMBER);
    EXPECT_EQ(config_yyval, 12);
    EXPECT_EQ(config_get_token(f), CONFIG_IDENT);
    EXPECT_STREQ(config_yytext, "ab");
}

TEST_F(Tokens, HugeNumberSaturatesInsteadOfOverflowing) {
    open("99999999999999999999 5");
    EXPECT_EQ(config_get_token(f), CONFIG_NUMBER);
    EXPECT_GT(config_yyval, 0);
    EXPECT_EQ(config_get_token(f), CONFIG_NUMBER);
    EXPECT_EQ(config_yyval, 5);
}

TEST_F(Tokens, LongTokenKeeps511CharactersAndConsumesTheRest) {
    open(std::string(700, 'x') + " next");
    EXPECT_EQ(config_get_token(f), CONFIG_IDENT);
    EXPECT_EQ(std::strlen(config_yytext), 511u);
    EXPECT_EQ(config_get_token(f), CONFIG_IDENT);
    EXPECT_STREQ(config_yytext, "next");
}

TEST_F(Tokens, EmptyStringAndClosingQuoteConsumed) {
    open("\"\"7");
    EXPECT_EQ(config_get_token(f), CONFIG_STRING);
    EXPECT_STREQ(config_yytext, "");
    EXPECT_EQ(config_get_token(f), CONFIG_NUMBER);
    EXPECT_EQ(config_yyval, 7);
}

TEST_F(Tokens, BlanksAreSpaceTabReturnNewline) {
    open(" \t\r\n 3");
    config_blank(f);
    EXPECT_EQ(config_tok, '3');
}

TEST_F(Tokens, HighBytesAreSingleCharacterTokens) {
    open("\xe9");
    int kind = config_get_token(f);
    EXPECT_EQ(kind, 0xE9);
    EXPECT_EQ(config_get_token(f), CONFIG_EOF);
}

// The first window without a configuration, against the desktops users have.
struct desktop_case {
    int desktop_w, desktop_h;
    int w, h;
};
const desktop_case DESKTOPS[] = {
    {1920, 1080, 1600, 900},  {1920, 1200, 1680, 1050}, {2560, 1440, 1920, 1200},
    {3840, 2160, 1920, 1200}, {3840, 1080, 1600, 900},  {1600, 900, 1366, 768},
    {1366, 768, 800, 600},    {1280, 1024, 1152, 864},  {1280, 800, 800, 600},
    {1024, 768, 800, 600},    {800, 600, 640, 480},     {640, 480, 640, 480},
    {320, 200, 640, 480},     {0, 0, 640, 480},
};

TEST(FirstWindow, LargestStandardSizeWithinNinetyPercentOfTheDesktop) {
    for (const desktop_case &d : DESKTOPS) {
        screen_size s = first_window_size(d.desktop_w, d.desktop_h);
        EXPECT_EQ(s.w, d.w) << d.desktop_w << " x " << d.desktop_h;
        EXPECT_EQ(s.h, d.h) << d.desktop_w << " x " << d.desktop_h;
    }
}

TEST(FirstWindow, DesktopDepthWhenUsable) {
    const int cases[][2] = {{32, 32}, {24, 24}, {16, 16}, {15, 15}, {8, 8}, {0, 8}, {30, 8}};
    for (const auto &c : cases)
        EXPECT_EQ(first_color_depth(c[0]), c[1]) << c[0];
}

TEST_F(Config, OnlyAFileNamingAModeCountsAsTheUsersChoice) {
    EXPECT_EQ(read_config(), 0); // no file
    write_file(path, "16 800 600 0\n");
    EXPECT_EQ(read_config(), 0);
    write_file(path, "\"x\"");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(read_config(), 1);
    ::testing::internal::GetCapturedStdout();
}

} // namespace
