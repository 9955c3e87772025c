// Locating the run-time files: the working directory, then <program dir>/../share/plinkel, which
// is the data directory of every installed tree whatever its prefix.
#include "base/datadir.h"

#include <allegro.h>

#include "base/strutil.h"

int find_data_file(const char *name, char *out, size_t size) {
    if (exists(name)) {
        str_n_cpy(out, name, size);
        return 1;
    }
    char dir[1024];
    get_executable_name(dir, sizeof(dir));
    replace_filename(dir, dir, "../share/plinkel/", sizeof(dir));
    str_n_cat(dir, name, sizeof(dir));
    if (exists(dir)) {
        str_n_cpy(out, dir, size);
        return 1;
    }
    str_n_cpy(out, name, size);
    return 0;
}
