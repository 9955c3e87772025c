// Bounded string copies and heap duplicates; each returns its destination. Running out of
// memory ends the process with the one message every allocator of the program prints. And the
// extension of a file name.
#pragma once

#include <cstddef>

char *str_n_cpy(char *dst, const char *src, size_t size);
char *str_n_cat(char *dst, const char *src, size_t size);
char *str_dup(const char *src);
char *str_n_dup(const char *src, size_t n);
[[noreturn]] void out_of_memory();
// The extension of the last component of path, from its last '.' on (".seq" of "a/b.seq", "."
// of "b."), as it is written; null when that component has no '.'.
const char *path_extension(const char *path);
