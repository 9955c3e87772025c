// Writing a score file so that the chosen name always holds either the old file or the
// complete new one: the new contents go to a temporary file beside it, the old file then moves
// to its backup name, and the temporary file is renamed into place.
#pragma once

#include <cstddef>

#include "model/score.h"

// A writer of one file format: 1 when path holds the complete file, 0 when it failed.
typedef int (*score_writer)(const char *path, score *s);

// 1 when the file can be opened for reading.
int file_exist(const char *name);
// The backup name of path: pattern holds one %s, which stands for path ("%s.bak").
void backup_name(const char *pattern, const char *path, char *out, size_t size);
// Writes s to path with writer, keeping the previous file under its backup name (an older
// backup is replaced). Returns 1; or 0, with the reason in why, when the file could not be
// written (a file that is read-only, also for the superuser, is not replaced): path then still
// holds what it held before.
int write_with_backup(const char *path, const char *backup_pattern, score_writer writer, score *s,
                      char *why, size_t why_size);
