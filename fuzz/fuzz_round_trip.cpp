// The round trips accepted inputs must survive: the editor writes the loaded score and must be
// able to read that file back.
#include "fuzz_util.h"

#include "files/fileio.h"
#include "model/score.h"

void fuzz_check_round_trip(const std::string &path, int (*write)(const char *, score *),
                           int (*read)(const char *, score *)) {
    if (!write(path.c_str(), &g_score))
        std::abort();
    destroy_score(&g_score);
    init_g_score();
    if (!read(path.c_str(), &g_score))
        __builtin_trap();
    fuzz_check_invariants("a written score read back broken");
}

void fuzz_check_round_trip(const std::string &path) {
    fuzz_check_round_trip(path, writefile, readfile);
}
