// The editor's command line: help, version, the file to open, and usage errors with status 2.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "editor/cmdline.h"

namespace {

struct parsed {
    int status;
    std::string file, out, err;
};

std::string read_back(FILE *f) {
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

parsed parse(std::vector<std::string> words) {
    words.insert(words.begin(), "plinkel");
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    FILE *out = std::tmpfile(), *err = std::tmpfile();
    const char *file = nullptr;
    parsed p;
    p.status = editor_command_line(static_cast<int>(words.size()), argv.data(), &file, out, err);
    p.file = file ? file : "";
    p.out = read_back(out);
    p.err = read_back(err);
    return p;
}

struct command_case {
    std::vector<std::string> words;
    int status;
    const char *file;       // the file to open, "" for none
    const char *out_starts; // the beginning of standard output, "" for nothing printed
    const char *err_starts; // the beginning of standard error, "" for nothing printed
};

const command_case CASES[] = {
    {{}, CMDLINE_RUN, "", "", ""},
    {{"song.seq"}, CMDLINE_RUN, "song.seq", "", ""},
    {{"--", "-odd.mid"}, CMDLINE_RUN, "-odd.mid", "", ""},
    {{"--help"}, 0, "", "Usage: plinkel ", ""},
    {{"-h", "--bogus"}, 0, "", "Usage: plinkel ", ""},
    {{"song.seq", "--version"}, 0, "", "plinkel " PLINKEL_VERSION "\n", ""},
    {{"-V"}, 0, "", "plinkel " PLINKEL_VERSION "\n", ""},
    {{"--bogus"}, 2, "", "", "plinkel: unknown option --bogus\nUsage: plinkel "},
    {{"-x"}, 2, "", "", "plinkel: unknown option -x\nUsage: plinkel "},
    {{"--help=yes"}, 2, "", "", "plinkel: unknown option --help=yes\n"},
    {{"a.seq", "b.seq"}, 2, "", "", "plinkel: more than one file: b.seq\n"},
};

TEST(CommandLine, OptionsFilesAndErrors) {
    for (const command_case &c : CASES) {
        std::string what = c.words.empty() ? "(none)" : c.words[0];
        parsed p = parse(c.words);
        EXPECT_EQ(p.status, c.status) << what;
        if (c.status == CMDLINE_RUN) {
            EXPECT_EQ(p.file, c.file) << what;
        }
        EXPECT_EQ(p.out.rfind(c.out_starts, 0), 0u) << what << ": " << p.out;
        EXPECT_EQ(p.err.rfind(c.err_starts, 0), 0u) << what << ": " << p.err;
        EXPECT_EQ(p.out.empty(), !*c.out_starts) << what;
        EXPECT_EQ(p.err.empty(), !*c.err_starts) << what;
    }
}

TEST(CommandLine, HelpNamesEveryOptionAndTheExitStatuses) {
    std::string help = parse({"--help"}).out;
    for (const char *word : {"--help", "--version", ".seq", ".mid", ".musicxml", ".mxl",
                             "plinkel.cfg", "Exit status", "2 on a wrong option"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

} // namespace
