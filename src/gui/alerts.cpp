// Message boxes of the command layer, all through the library's alert so that every message
// looks the same and waits for one button.
#include "gui/alerts.h"

#include <allegro.h>
#include <cstdio>

namespace {

constexpr int LINE_SIZE = 600;
const char WARNING[] = "warning";
const char OK_BUTTON[] = "Yes";

// Without a screen (the commands driven by tests or tools) the lines go to standard error.
void show(const char *line1, const char *line2) {
    if (screen)
        alert(WARNING, line1, line2, OK_BUTTON, nullptr, 0, 0);
    else
        std::fprintf(stderr, "%s: %s%s%s\n", WARNING, line1, line1[0] ? ": " : "", line2);
}

} // namespace

void warning(const char *message) {
    show("", message);
}

void file_problem(const char *action, const char *path, const char *reason) {
    char line[LINE_SIZE];
    std::snprintf(line, sizeof line, "%s %s", action, path);
    show(line, reason);
}

void file_message_alert(const char *text) {
    show("", text);
}
