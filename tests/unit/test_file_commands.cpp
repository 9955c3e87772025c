// The file commands below the screen: the names change_ext proposes, the order of temporary
// file, backup and rename in a safe write (also when the writer fails), and loading into a
// fresh score that replaces the open one only on success.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "editor/state.h"
#include "base/strutil.h"
#include "file_test_util.h"
#include "invariants.h"
#include "files/backup.h"
#include "files/fileio.h"
#include "files/midi_imp.h"
#include "gui/file_commands.h"

namespace {

TEST(ChangeExt, ReplacesOrAppendsTheExtension) {
    struct {
        const char *src, *ext, *want;
    } cases[] = {
        {"untitled", ".seq", "untitled.seq"},
        {"dir.x/song", ".seq", "dir.x/song.seq"},
        {"song.mid", ".seq", "song.seq"},
        {"/tmp/a.b/song.seq", ".mid", "/tmp/a.b/song.mid"},
        {"dir.x\\song", ".ly", "dir.x\\song.ly"},
        {".hidden", ".seq", ".hidden.seq"}, // the first character never starts an extension
        {"song.ly.seq", ".ly", "song.ly.ly"},
        {"", ".seq", ".seq"},
        {"song.", ".asm", "song.asm"},
    };
    for (auto c : cases) {
        char buf[PATH_SIZE];
        EXPECT_STREQ(change_ext(c.src, c.ext, buf, sizeof buf), c.want) << c.src;
    }
}

TEST(ChangeExt, NeverOverrunsTheBuffer) {
    char buf[8];
    EXPECT_STREQ(change_ext("abcdefghij", ".seq", buf, sizeof buf), "abcdefg");
}

int write_new(const char *path, score *) {
    FILE *fp = std::fopen(path, "w");
    if (!fp)
        return 0;
    std::fputs("new", fp);
    return std::fclose(fp) == 0;
}

// Fails like a writer that ran out of space after writing part of the file.
int write_half_then_fail(const char *path, score *) {
    FILE *fp = std::fopen(path, "w");
    if (fp) {
        std::fputs("ne", fp);
        std::fclose(fp);
    }
    errno = ENOSPC;
    return 0;
}

struct SafeWrite : FileTest {};

TEST_F(SafeWrite, BackupOrderAndFailures) {
    struct {
        const char *name;
        bool old_file, old_backup;
        score_writer writer;
        int ok;
        const char *want_file, *want_backup; // null: must not exist
    } cases[] = {
        {"first write", false, false, write_new, 1, "new", nullptr},
        {"second write", true, false, write_new, 1, "new", "old"},
        {"older backup replaced", true, true, write_new, 1, "new", "old"},
        {"failed first write", false, false, write_half_then_fail, 0, nullptr, nullptr},
        {"failed write keeps file", true, false, write_half_then_fail, 0, "old", nullptr},
        {"failed write keeps backup", true, true, write_half_then_fail, 0, "old", "older"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        std::string target = path("song.ly"), backup = path("song.ly.ly.bak");
        std::remove(target.c_str());
        std::remove(backup.c_str());
        if (c.old_file)
            write_text(target, "old");
        if (c.old_backup)
            write_text(backup, "older");
        char why[128];
        EXPECT_EQ(
            write_with_backup(target.c_str(), "%s.ly.bak", c.writer, &g_score, why, sizeof why),
            c.ok);
        EXPECT_EQ(file_exist(target.c_str()), c.want_file != nullptr);
        if (c.want_file) {
            EXPECT_EQ(read_all(target), c.want_file);
        }
        EXPECT_EQ(file_exist(backup.c_str()), c.want_backup != nullptr);
        if (c.want_backup) {
            EXPECT_EQ(read_all(backup), c.want_backup);
        }
        EXPECT_STREQ(why, c.ok ? "" : std::strerror(ENOSPC));
        EXPECT_EQ(count_files(dir), (c.want_file != nullptr) + (c.want_backup != nullptr))
            << "a temporary file was left behind";
    }
}

TEST_F(SafeWrite, MissingDirectoryIsReportedWithItsReason) {
    std::string target = path("no/such/dir/song.seq");
    char why[128];
    EXPECT_EQ(write_with_backup(target.c_str(), "%s.bak", writefile, &g_score, why, sizeof why), 0);
    EXPECT_STREQ(why, std::strerror(ENOENT));
    EXPECT_EQ(count_files(dir), 0);
}

TEST_F(SafeWrite, AFolderUnderTheChosenNameIsLeftAlone) {
    std::string folder = path("song.seq");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    char why[128];
    EXPECT_EQ(write_with_backup(folder.c_str(), "%s.bak", writefile, &g_score, why, sizeof why), 0);
    EXPECT_STREQ(why, std::strerror(EISDIR));
    EXPECT_EQ(count_files(dir), 1);
    EXPECT_EQ(rmdir(folder.c_str()), 0);
}

// The open score and the command-layer state, saved and restored around each test.
struct LoadScore : FileTest {
    char saved_filename[FILENAME_SIZE];
    int saved_edited = 0;
    void SetUp() override {
        FileTest::SetUp();
        str_n_cpy(saved_filename, filename, sizeof saved_filename);
        saved_edited = edited;
        str_n_cpy(filename, "before.seq", FILENAME_SIZE);
        edited = 1;
    }
    void TearDown() override {
        str_n_cpy(filename, saved_filename, FILENAME_SIZE);
        edited = saved_edited;
        FileTest::TearDown();
    }
};

TEST_F(LoadScore, AFailedReadLeavesTheScoreAsItWas) {
    add_note(g_score.measures.head, 0, 0, TICKS_PER_QUARTER);
    validate_measure(g_score.measures.head);
    measure *before = g_score.measures.head;
    g_score.track_num = 3;
    struct {
        const char *name, *text;
    } cases[] = {
        {"missing.seq", nullptr},
        {"old.seq", "vudiz 12\n"},
        {"disorder.seq", "vudiz 25\nn 0 0 0 192 0 127\n"},
        {"bad.mid", "MThd garbage"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = path(c.name);
        if (c.text)
            write_text(file, c.text);
        score_reader read = std::strstr(c.name, ".mid") ? midi_import : readfile;
        EXPECT_EQ(load_score(file.c_str(), read), 0);
        EXPECT_EQ(g_score.measures.head, before);
        EXPECT_EQ(g_score.measures.num, 1);
        EXPECT_EQ(before->notes.head->pitch, 0);
        EXPECT_EQ(g_score.track_num, 3);
        EXPECT_STREQ(filename, "before.seq");
        EXPECT_EQ(edited, 1);
    }
}

TEST_F(LoadScore, ASuccessfulReadReplacesTheScoreAndNamesIt) {
    std::string file = path("two.seq");
    write_text(file, "vudiz 25\ntempo 90\nnum_track 2\nm 0 4 4\nn 0 0 0 192 1 100\nm 0 3 4\n");
    ASSERT_EQ(load_score(file.c_str(), readfile), 1);
    EXPECT_EQ(g_score.measures.num, 2);
    EXPECT_EQ(g_score.track_num, 2);
    EXPECT_EQ(g_score.default_tempo, 90);
    EXPECT_STREQ(filename, file.c_str());
    EXPECT_EQ(edited, 0);
    EXPECT_EQ(n_active_track, 2);
    // Read while the open score had one track: the second still gets its rests in the 3/4.
    EXPECT_TRUE(score_invariants(&g_score));
}

TEST_F(LoadScore, AFileIsReadIntoAFreshScoreNotOverTheOpenOne) {
    g_score.default_tempo = 90;
    g_score.tracks[1].patch = 40;
    g_score.tracks[1].mute = 1;
    // A format-0 file without a tempo event: one quarter note on channel 0.
    const char bytes[] = "MThd\0\0\0\6\0\0\0\1\0\x60"
                         "MTrk\0\0\0\x0c\0\x90\x3c\x64\x60\x80\x3c\0\0\xff\x2f\0";
    std::string file = path("plain.mid");
    write_text(file, std::string(bytes, sizeof bytes - 1));
    ASSERT_EQ(load_score(file.c_str(), midi_import), 1);
    EXPECT_EQ(g_score.default_tempo, DEFAULT_TEMPO);
    EXPECT_EQ(g_score.track_num, 1);
    EXPECT_EQ(g_score.tracks[1].patch, 0);
    EXPECT_EQ(g_score.tracks[1].mute, 0);
}

} // namespace
