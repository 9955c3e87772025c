// Saving where it cannot succeed: a directory without write permission, a read-only file, a full
// disk and a read-only file system. The command names the file and the reason, the chosen name
// keeps the old file, nothing half-written is left and the score stays edited. The save runs in
// a child process, with the privileges of an ordinary user when the tests run as the superuser
// (who passes every permission check); the disk cases mount a small memory file system.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/state.h"
#include "base/strutil.h"
#include "file_test_util.h"
#include "gui/file_commands.h"

namespace {

constexpr uid_t NOBODY = 65534;
constexpr int RESULT_SIZE = 4096;
const char SMALL_DISK[] = "size=64k,mode=0777";

enum setup_kind { LOCKED_DIRECTORY, READ_ONLY_FILE, FULL_DISK, READ_ONLY_DISK };

struct save_case {
    const char *name;
    setup_kind setup;
    bool as_superuser; // keep the superuser's privileges when the tests have them
    int err;           // the reason the message must give
};

// What the child saw: write_score_as's result, edited afterwards and the message text.
struct save_result {
    int ok = -1;
    int edited = -1;
    std::string message;
};

std::string read_fd(int fd) {
    std::string out;
    char buf[RESULT_SIZE];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fd);
    return out;
}

// In the child: become an ordinary user unless kept, save target with the message going to
// the pipe, and report "ok edited" on the first line.
[[noreturn]] void save_in_child(const std::string &target, bool keep_privileges, int out) {
    dup2(out, STDERR_FILENO);
    if (getuid() == 0 && !keep_privileges && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0))
        _exit(2);
    str_n_cpy(filename, target.c_str(), FILENAME_SIZE);
    edited = 1;
    int ok = write_score_as(&file_writers[FORMAT_SEQ], 0);
    dprintf(out, "\n%d %d\n", ok, edited);
    _exit(0);
}

save_result save_as_child(const std::string &target, bool keep_privileges) {
    int fds[2];
    save_result r;
    if (pipe(fds) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        save_in_child(target, keep_privileges, fds[1]);
    }
    close(fds[1]);
    std::string text = read_fd(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    size_t last = text.rfind('\n', text.size() - 2);
    if (last == std::string::npos || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return r;
    r.message = text.substr(0, last);
    std::sscanf(text.c_str() + last + 1, "%d %d", &r.ok, &r.edited);
    return r;
}

// Writes filler into dir until the file system refuses more.
void fill_disk(const std::string &dir) {
    int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    char block[1024] = {};
    while (fd >= 0 && write(fd, block, sizeof block) > 0) {
    }
    if (fd >= 0)
        close(fd);
}

class SaveFailures : public FileTest {
  protected:
    std::string place;
    bool mounted = false;

    void SetUp() override {
        FileTest::SetUp();
        chmod(dir.c_str(), 0755); // an ordinary user must reach the place of the file
        place = path("place");
        mkdir(place.c_str(), 0777);
        chmod(place.c_str(), 0777);
        add_note(g_score.measures.head, 0, 0, TICKS_PER_QUARTER);
        expand_and_validate(&g_score);
    }
    void TearDown() override {
        chmod(place.c_str(), 0755);
        if (mounted)
            umount(place.c_str());
        FileTest::TearDown();
    }
    std::string target() const { return place + "/song.seq"; }

    // Prepares the place of the file for c; false when this machine cannot (no mounting).
    bool prepare(const save_case &c) {
        if (c.setup == FULL_DISK || c.setup == READ_ONLY_DISK) {
            if (mount("tmpfs", place.c_str(), "tmpfs", 0, SMALL_DISK) != 0)
                return false;
            mounted = true;
        }
        write_text(target(), "old");
        if (getuid() == 0 && chown(target().c_str(), NOBODY, NOBODY) != 0)
            return false; // the ordinary user owns the old file, as a user's own file is
        switch (c.setup) {
        case LOCKED_DIRECTORY:
            return chmod(place.c_str(), 0555) == 0;
        case READ_ONLY_FILE:
            return chmod(target().c_str(), 0444) == 0;
        case FULL_DISK:
            fill_disk(place);
            return true;
        case READ_ONLY_DISK:
            return mount("tmpfs", place.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, SMALL_DISK) == 0;
        }
        return false;
    }
};

TEST_F(SaveFailures, TheMessageNamesFileAndReasonAndTheOldFileStays) {
    const save_case cases[] = {
        {"directory without write permission", LOCKED_DIRECTORY, false, EACCES},
        {"read-only file", READ_ONLY_FILE, false, EACCES},
        {"read-only file, superuser", READ_ONLY_FILE, true, EACCES},
        {"full disk", FULL_DISK, false, ENOSPC},
        {"read-only file system", READ_ONLY_DISK, true, EROFS},
    };
    for (const save_case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!prepare(c)) {
            std::printf("skipped \"%s\": this machine cannot mount a memory file system (%s)\n",
                        c.name, std::strerror(errno));
            TearDown();
            SetUp();
            continue;
        }
        int files_before = count_files(place);
        save_result r = save_as_child(target(), c.as_superuser);
        EXPECT_EQ(r.ok, 0);
        EXPECT_EQ(r.edited, 1);
        EXPECT_NE(r.message.find("cannot write " + target()), std::string::npos) << r.message;
        EXPECT_NE(r.message.find(std::strerror(c.err)), std::string::npos) << r.message;
        EXPECT_EQ(read_all(target()), "old");
        EXPECT_EQ(count_files(place), files_before) << "a temporary or backup file was left";
        TearDown();
        SetUp();
    }
}

} // namespace
