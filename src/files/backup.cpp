// The order of a safe save: a file that must not be replaced is refused, then temporary file,
// backup, rename into place. A failure at any step leaves the chosen name with its old contents
// and reports why.
#include "files/backup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "files/file_support.h"

namespace {

const char NOTHING_WRITTEN[] = "the file could not be written";

void set_reason(char *why, size_t size, int err) {
    std::snprintf(why, size, "%s", err ? std::strerror(err) : NOTHING_WRITTEN);
}

// Reserves a fresh temporary name in the directory of path; the file exists, empty, until the
// writer replaces it.
int reserve_temporary(const char *path, char *tmp, size_t size) {
    output_file out;
    if (!open_output(&out, path))
        return 0;
    std::fclose(out.fp);
    std::snprintf(tmp, size, "%s", out.tmp_path);
    return 1;
}

// Moves the old file, if any, to its backup name. A failed move leaves it in place, where the
// new file will replace it.
void make_backup(const char *path, const char *pattern) {
    if (!file_exist(path))
        return;
    char backup[OUTPUT_PATH_SIZE];
    backup_name(pattern, path, backup, sizeof backup);
    std::rename(path, backup);
}

// 1 when path names an existing file that must not be replaced: one the user may not write, or
// one without any write permission at all. Renaming over a file needs only the directory's
// permission, and the superuser passes every check, so the file's own mode is honoured here.
int write_protected(const char *path) {
    struct stat st;
    if (stat(path, &st) != 0)
        return 0;
    if (access(path, W_OK) != 0)
        return 1;
    const mode_t any_write = S_IWUSR | S_IWGRP | S_IWOTH;
    if (S_ISREG(st.st_mode) && !(st.st_mode & any_write)) {
        errno = EACCES;
        return 1;
    }
    return 0;
}

} // namespace

int file_exist(const char *name) {
    FILE *fp = std::fopen(name, "r");
    if (!fp)
        return 0;
    std::fclose(fp);
    return 1;
}

void backup_name(const char *pattern, const char *path, char *out, size_t size) {
    std::snprintf(out, size, pattern, path);
}

int write_with_backup(const char *path, const char *backup_pattern, score_writer writer, score *s,
                      char *why, size_t why_size) {
    char tmp[OUTPUT_PATH_SIZE];
    why[0] = '\0';
    // A folder under the chosen name would otherwise be moved aside as the "old file".
    struct stat st;
    if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
        set_reason(why, why_size, EISDIR);
        return 0;
    }
    errno = 0;
    if (write_protected(path)) {
        set_reason(why, why_size, errno);
        return 0;
    }
    errno = 0;
    if (!reserve_temporary(path, tmp, sizeof tmp)) {
        set_reason(why, why_size, errno);
        return 0;
    }
    errno = 0;
    if (!writer(tmp, s)) {
        set_reason(why, why_size, errno);
        std::remove(tmp);
        return 0;
    }
    make_backup(path, backup_pattern);
    if (std::rename(tmp, path) != 0) {
        set_reason(why, why_size, errno);
        std::remove(tmp);
        char backup[OUTPUT_PATH_SIZE];
        backup_name(backup_pattern, path, backup, sizeof backup);
        if (!file_exist(path))
            std::rename(backup, path);
        return 0;
    }
    sync_directory_of(path);
    return 1;
}
