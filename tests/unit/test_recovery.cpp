// Recovery copies: the schedule (time, edit count, only at rest), where copies live and how they
// are named, who owns them, what a copy holds, and the editor's keeping and removing of its copy
// (a clean exit removes it, a terminating signal keeps it).
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <allegro.h>

#include "editor/autosave.h"
#include "base/clock.h"
#include "editor/state.h"
#include "base/strutil.h"
#include "file_test_util.h"
#include "files/fileio.h"
#include "files/recovery.h"
#include "model/undo.h"

namespace {

TEST(AutosaveSchedule, TimeEditsAndRest) {
    // One row: what the editor looks like at time now, and whether a copy is due then.
    struct step {
        int dirty, generation, now, at_rest, due;
    };
    struct {
        int interval_s, edit_limit;
        std::vector<step> steps;
    } cases[] = {
        {30, 50, {{0, 0, 0, 1, 0}, {0, 0, 99000, 1, 0}}},                         // nothing unsaved
        {30, 50, {{1, 1, 1000, 1, 0}, {1, 1, 30999, 1, 0}, {1, 1, 31000, 1, 1}}}, // 30 s
        {30, 50, {{1, 49, 1000, 1, 0}, {1, 50, 1001, 1, 1}}},                     // 50 edits
        {30, 0, {{1, 500, 1000, 1, 0}, {1, 900, 2000, 1, 0}}},                    // no edit count
        {30, 50, {{1, 60, 1000, 0, 0}, {1, 60, 90000, 0, 0}, {1, 60, 90001, 1, 1}}}, // drag, dialog
        {0, 50, {{1, 60, 1000, 1, 0}, {1, 90, 99000, 1, 0}}},                        // switched off
        {30, 50, {{1, 0, 1000, 1, 0}, {1, 0, 31000, 1, 1}}}, // unsaved without an undo step
        {30, 50, {{1, 1, 1000, 1, 0}, {0, 1, 2000, 1, 0}, {0, 1, 40000, 1, 0}}}, // saved again
    };
    for (const auto &c : cases) {
        autosave_schedule s;
        schedule_init(&s, c.interval_s, c.edit_limit, 0);
        for (const step &st : c.steps) {
            schedule_observe(&s, st.dirty, st.generation, st.now);
            EXPECT_EQ(schedule_due(&s, st.now, st.at_rest), st.due)
                << c.interval_s << "/" << c.edit_limit << " at " << st.now;
        }
    }
}

TEST(AutosaveSchedule, AfterAWriteOrAFailure) {
    autosave_schedule s;
    schedule_init(&s, 30, 50, 0);
    schedule_observe(&s, 1, 1, 0);
    schedule_written(&s, 30000, 1);
    schedule_observe(&s, 1, 1, 90000);
    EXPECT_FALSE(schedule_due(&s, 90000, 1)) << "nothing new since the copy";
    schedule_observe(&s, 1, 2, 91000);
    schedule_written(&s, 121000, 0);
    EXPECT_FALSE(schedule_due(&s, 150999, 1)) << "a failed write is tried again after the interval";
    EXPECT_TRUE(schedule_due(&s, 151000, 1));
}

TEST(RecoveryNames, DirectoryFromTheEnvironment) {
    struct {
        const char *state, *home, *want;
    } cases[] = {
        {"/s", "/h", "/s/plinkel/recovery"},
        {nullptr, "/h", "/h/.local/state/plinkel/recovery"},
        {"relative", "/h", "/h/.local/state/plinkel/recovery"},
        {nullptr, nullptr, nullptr},
    };
    std::string old_state = getenv("XDG_STATE_HOME") ? getenv("XDG_STATE_HOME") : "";
    std::string old_home = getenv("HOME") ? getenv("HOME") : "";
    for (const auto &c : cases) {
        c.state ? setenv("XDG_STATE_HOME", c.state, 1) : unsetenv("XDG_STATE_HOME");
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        char dir[256];
        int ok = recovery_dir(dir, sizeof dir);
        EXPECT_EQ(ok, c.want != nullptr);
        if (ok && c.want) {
            EXPECT_STREQ(dir, c.want);
        }
    }
    old_state.empty() ? unsetenv("XDG_STATE_HOME") : setenv("XDG_STATE_HOME", old_state.c_str(), 1);
    setenv("HOME", old_home.c_str(), 1);
}

recovery_owner gone_owner() {
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    recovery_owner o = recovery_self();
    o.pid = child;
    return o;
}

TEST(RecoveryOwners, OnlyTheRunningProcessOwns) {
    recovery_owner self = recovery_self();
    EXPECT_TRUE(owner_alive(self));
    EXPECT_GT(self.start, 0u);
    recovery_owner reused = self, rebooted = self;
    reused.start += 1; // the same pid, another process
    std::snprintf(rebooted.boot, sizeof rebooted.boot, "another-boot");
    EXPECT_FALSE(owner_alive(reused));
    EXPECT_FALSE(owner_alive(rebooted));
    EXPECT_FALSE(owner_alive(gone_owner()));
    std::string a = recovery_copy_path("/d", "/x/song.seq", self);
    EXPECT_EQ(a.rfind("/d/song.seq.", 0), 0u) << a;
    EXPECT_NE(a, recovery_copy_path("/d", "/x/song.seq", reused)) << "one copy per editor";
    EXPECT_EQ(recovery_copy_path("/d", "untitled", self).rfind("/d/untitled.", 0), 0u);
}

class RecoveryTest : public FileTest {
  protected:
    std::string copies;
    void SetUp() override {
        FileTest::SetUp();
        setenv("XDG_STATE_HOME", dir.c_str(), 1);
        copies = dir + "/plinkel/recovery";
        str_n_cpy(filename, path("song seq\nodd.seq").c_str(), FILENAME_SIZE);
        set_config_int("recovery", "interval", 30);
        msec = 0;
        edited = 0;
        undo_reset();
        autosave_start();
    }
    void TearDown() override {
        autosave_note_signal(0);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        unsetenv("XDG_STATE_HOME");
        edited = 0;
        FileTest::TearDown();
    }
    int copy_exists() { return count_files(copies) > 0; }
};

TEST_F(RecoveryTest, ACopyHoldsTheScoreAndItsNameAndIsOfferedOnlyWhenItsEditorIsGone) {
    ASSERT_TRUE(make_recovery_dir(copies.c_str()));
    add_note(g_score.measures.head, 0, 0, 192);
    expand_and_validate(&g_score);
    std::string name = absolute_score_name(filename);
    std::string mine = recovery_copy_path(copies.c_str(), name.c_str(), recovery_self());
    recovery_owner gone = gone_owner();
    std::string left = recovery_copy_path(copies.c_str(), name.c_str(), gone);
    char why[64];
    ASSERT_TRUE(
        write_recovery_copy(mine.c_str(), name.c_str(), recovery_self(), &g_score, why, 64));
    ASSERT_TRUE(write_recovery_copy(left.c_str(), name.c_str(), gone, &g_score, why, 64));
    EXPECT_FALSE(write_recovery_copy((dir + "/no/such").c_str(), "x", gone, &g_score, why, 64));
    EXPECT_STRNE(why, "");
    std::vector<recovery_copy> offered = orphaned_copies(copies.c_str(), nullptr);
    ASSERT_EQ(offered.size(), 1u) << "the running editor's copy is never offered";
    EXPECT_EQ(offered[0].path, left);
    EXPECT_EQ(offered[0].score_name, name);
    EXPECT_EQ(orphaned_copies(copies.c_str(), filename).size(), 1u);
    EXPECT_EQ(orphaned_copies(copies.c_str(), path("other.seq").c_str()).size(), 0u);
    destroy_score(&g_score);
    init_g_score();
    ASSERT_TRUE(readfile(left.c_str(), &g_score)) << "a copy reads as a score";
    EXPECT_EQ(g_score.measures.head->notes.head->total_len, 192);
}

TEST_F(RecoveryTest, KeptWhileUnsavedRemovedWhenSavedOrAtACleanExit) {
    autosave_idle();
    EXPECT_FALSE(copy_exists()) << "nothing unsaved, no copy";
    edited = 1;
    msec = 1000;
    autosave_idle();
    EXPECT_FALSE(copy_exists()) << "not before the interval";
    msec = 31000;
    EXPECT_EQ(autosave_idle(), 0);
    autosave_wait();
    ASSERT_TRUE(copy_exists());
    std::string first = autosave_copy_path();
    str_n_cpy(filename, path("renamed.seq").c_str(), FILENAME_SIZE);
    autosave_write_now();
    EXPECT_EQ(count_files(copies), 1) << "the copy follows the score's name";
    EXPECT_NE(autosave_copy_path(), first);
    edited = 0;
    autosave_idle();
    EXPECT_FALSE(copy_exists()) << "saved: the copy goes";
    edited = 1;
    autosave_write_now();
    ASSERT_TRUE(copy_exists());
    autosave_finish();
    EXPECT_FALSE(copy_exists()) << "a clean exit removes the copy";
}

TEST_F(RecoveryTest, ATerminatingSignalWritesTheCopyAndKeepsIt) {
    edited = 1;
    autosave_idle();
    raise(SIGTERM);
    EXPECT_EQ(autosave_idle(), 1) << "the main loop is to end";
    ASSERT_TRUE(copy_exists()) << "written at once, without waiting for the interval";
    autosave_finish();
    EXPECT_TRUE(copy_exists());
}

} // namespace
