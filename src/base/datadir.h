// Where the run-time files ("mfont.pcx", "manual.txt") are found: the working directory first,
// then the installed data directory beside the program.
#pragma once

#include <cstddef>

// Writes the path of the first existing candidate for name into out and returns 1; returns 0
// (out holding the working-directory candidate) when none exists.
int find_data_file(const char *name, char *out, size_t size);
