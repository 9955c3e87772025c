// The round trip every accepted input must survive: the editor writes the loaded score as a
// .seq file and must be able to read that file back.
#include "fuzz_util.h"

#include "files/fileio.h"
#include "model/score.h"

void fuzz_check_round_trip(const std::string &path) {
    if (!writefile(path.c_str(), &g_score))
        std::abort();
    destroy_score(&g_score);
    init_g_score();
    if (!readfile(path.c_str(), &g_score))
        __builtin_trap();
}
