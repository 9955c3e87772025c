// Offering the recovery copies left behind: the question, and opening a copy as the score it
// was made of, so that "write" stores it where it belongs.
#include "gui/recovery_offer.h"

#include <allegro.h>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "editor/autosave.h"
#include "editor/state.h"
#include "base/strutil.h"
#include "files/fileio.h"
#include "files/recovery.h"
#include "gui/file_commands.h"

namespace {

constexpr int LINE_SIZE = 512;
constexpr int TIME_SIZE = 32;
constexpr int SCREEN_MARGIN = 40; // pixels the question keeps free beside the text

enum answer { RECOVER = 1, DISCARD = 2, LATER = 3 };

// The base name of the score as the question shows it: bytes outside printable ASCII (a file
// name is any bytes, the library decodes text as UTF-8) become '?', and a name too long for the
// screen loses its middle to "...".
std::string shown_name(const std::string &name, const char *prefix) {
    const char *slash = std::strrchr(name.c_str(), '/');
    std::string base = slash ? slash + 1 : name;
    for (char &ch : base)
        if (ch < ' ' || ch > '~')
            ch = '?';
    while (base.size() > 3 &&
           text_length(font, (prefix + base).c_str()) + SCREEN_MARGIN > SCREEN_W) {
        size_t mid = base.size() / 2;
        base.replace(mid - 2, 5, "...");
    }
    return base;
}

// One line when it fits the screen, else split before "from".
int ask(const recovery_copy &c) {
    char when[TIME_SIZE];
    std::time_t t = static_cast<std::time_t>(c.saved_at);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
    std::printf("recovery copy of %s left in %s\n", c.score_name.c_str(), c.path.c_str());
    std::fflush(stdout);
    if (!screen)
        return LATER;
    static const char prefix[] = "Recover unsaved changes of ";
    char whole[LINE_SIZE], second[LINE_SIZE];
    std::string name = shown_name(c.score_name, prefix);
    std::snprintf(whole, sizeof whole, "%s%s from %s?", prefix, name.c_str(), when);
    if (text_length(font, whole) + SCREEN_MARGIN <= SCREEN_W)
        return alert3(whole, nullptr, nullptr, "Yes", "No", "Later", 'y', 'n', 'l');
    std::snprintf(whole, sizeof whole, "%s%s", prefix, name.c_str());
    std::snprintf(second, sizeof second, "from %s?", when);
    return alert3(whole, second, nullptr, "Yes", "No", "Later", 'y', 'n', 'l');
}

// Opens the copy; the score takes the name of its own file and counts as changed.
int recover(const recovery_copy &c) {
    if (!load_score(c.path.c_str(), readfile))
        return 0;
    str_n_cpy(filename, c.score_name.c_str(), FILENAME_SIZE);
    edited = 1;
    autosave_adopt(c.path.c_str());
    return 1;
}

} // namespace

int offer_recovery(const char *file) {
    char dir[LINE_SIZE * 8];
    if (!recovery_dir(dir, sizeof dir))
        return 0;
    std::vector<recovery_copy> left = orphaned_copies(dir, file);
    std::printf("recovery copies to offer: %d\n", static_cast<int>(left.size()));
    std::fflush(stdout);
    for (const recovery_copy &c : left) {
        switch (ask(c)) {
        case RECOVER:
            if (recover(c))
                return 1;
            break;
        case DISCARD:
            std::remove(c.path.c_str());
            break;
        default:
            break;
        }
    }
    return 0;
}
