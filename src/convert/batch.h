// Batch conversion for plinkel-convert: many files, each converted in a process of its own, a
// given number at a time, with a progress bar on a terminal and a summary line at the end.
#pragma once

#include <string>
#include <vector>

struct batch_job {
    std::string input;
    std::string output;
};

// DIR/NAME.FORMAT for the input DIR1/NAME.EXT (or DIR1/NAME).
std::string batch_output_name(const std::string &dir, const std::string &input,
                              const std::string &format);

// Runs convert_one for every job in a child process, at most parallel at once. What a child
// prints on standard error is shown when it ends, so the lines of different files do not mix;
// a child that fails without a word is named by its input. Shows a progress bar on standard
// error when that is a terminal, prints a summary line on standard output, and returns 0 when
// every file was converted, 1 otherwise.
int run_batch(const std::vector<batch_job> &jobs, int parallel,
              int (*convert_one)(const batch_job &));
