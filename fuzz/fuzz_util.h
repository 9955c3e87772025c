// What every fuzz target shares: the library started once without a display, readers kept
// quiet, and the fuzzer's bytes handed to a reader as a file of their own on a memory file
// system (the readers open files by name, as the editor's file commands do).
#pragma once

#include <allegro.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "editor/interface.h"
#include "files/file_support.h"
#include "model/invariants.h"

inline void fuzz_quiet_message(const char *) {}

// Starts the library once; returns 0 so that LLVMFuzzerInitialize can return it.
inline int fuzz_start_library() {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        std::abort();
    set_color_depth(8);
    file_trace_on = 0;
    file_message_hook = fuzz_quiet_message;
    return 0;
}

// A scratch file of this process with the given extension, on /dev/shm when it exists.
inline std::string fuzz_scratch_path(const char *name) {
    const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/plinkel-fuzz-" + std::to_string(getpid()) + "-" + name;
}

// Writes size bytes of data to path; aborts when it cannot (the run would mean nothing).
inline void fuzz_write_file(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0)
        std::abort();
}

// What a reader accepted must be a sound score: a broken invariant stops the run, naming it.
inline void fuzz_check_invariants(const char *what) {
    std::string failures = score_invariant_failures(&g_score);
    if (failures.empty())
        return;
    std::fprintf(stderr, "%s: %s\n", what, failures.c_str());
    std::abort();
}

// A score the editor wrote must load again: writes g_score and reads it back into a fresh
// score; a refusal is a fault of the writer or the reader, so the run stops there.
void fuzz_check_round_trip(const std::string &path);
// The same through another writer and reader.
void fuzz_check_round_trip(const std::string &path, int (*write)(const char *, score *),
                           int (*read)(const char *, score *));
