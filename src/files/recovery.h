// Recovery copies: what an editor with unsaved changes keeps in the user's state directory so
// that a crash, a kill or a power cut loses nothing. A copy is a .seq file with a few header
// lines in front (the score's own file name and the process that owns the copy), written safely.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/score.h"

constexpr int RECOVERY_BOOT_ID_SIZE = 40;
constexpr int RECOVERY_NAME_SIZE = 4096;

// The process that writes a copy: its pid, its start time (clock ticks since boot) and the
// boot it runs in, so that a reused pid or a reboot never passes for the owner.
struct recovery_owner {
    long pid;
    unsigned long long start;
    char boot[RECOVERY_BOOT_ID_SIZE];
};

// What a copy's header tells.
struct recovery_copy {
    std::string path;       // the copy itself
    std::string score_name; // the file the score belongs to ("untitled" for a new one)
    recovery_owner owner;
    long long saved_at; // seconds since the epoch
};

// The directory of the copies: $XDG_STATE_HOME/plinkel/recovery, or with XDG_STATE_HOME unset
// or not absolute, $HOME/.local/state/plinkel/recovery. 0 when neither variable helps.
int recovery_dir(char *out, size_t size);
// Creates the directory and its parents (private to the user). 1 when it exists afterwards.
int make_recovery_dir(const char *dir);

// The calling process.
recovery_owner recovery_self();
// 1 when the owner's process is still running (the same pid, start time and boot).
int owner_alive(const recovery_owner &o);

// name made absolute against the working directory (an existing file's directory resolved), so
// that the copy names the same file whatever the directory of the next start. "untitled" stays.
std::string absolute_score_name(const char *name);
// The copy of score_name owned by o in dir: the score's base name, the owner and ".recovery".
std::string recovery_copy_path(const char *dir, const char *score_name, const recovery_owner &o);

// What a copy of s holds: the header and the .seq lines.
std::string recovery_text(const char *score_name, const recovery_owner &o, score *s);
// Writes a prepared text to copy_path as below; touches no global state, so it may run on a
// thread of its own while the editor goes on.
int write_recovery_text(const char *copy_path, const std::string &text, char *why, size_t why_size);
// Writes s with its header to copy_path through a temporary file that is synced and renamed into
// place: the copy holds the previous contents or the complete new ones. 1, or 0 with the reason
// in why.
int write_recovery_copy(const char *copy_path, const char *score_name, const recovery_owner &o,
                        score *s, char *why, size_t why_size);
// Reads the header of a copy; 0 when the file is not a recovery copy.
int read_recovery_header(const char *copy_path, recovery_copy *out);
// Every copy in dir, newest first.
std::vector<recovery_copy> list_recovery_copies(const char *dir);
// The copies in dir whose owner is gone; with score_name non-null only those of that file.
std::vector<recovery_copy> orphaned_copies(const char *dir, const char *score_name);
