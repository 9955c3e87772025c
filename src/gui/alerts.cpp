// Message boxes of the command layer, all through the library's alert so that every message
// looks the same and waits for one button.
#include "gui/alerts.h"

#include <allegro.h>
#include <cstdio>

namespace {

constexpr int LINE_SIZE = 600;
const char WARNING[] = "warning";
const char OK_BUTTON[] = "Yes";

} // namespace

void warning(const char *message) {
    alert(WARNING, "", message, OK_BUTTON, nullptr, 0, 0);
}

void file_problem(const char *action, const char *path, const char *reason) {
    char line[LINE_SIZE];
    std::snprintf(line, sizeof line, "%s %s", action, path);
    alert(WARNING, line, reason, OK_BUTTON, nullptr, 0, 0);
}

void file_message_alert(const char *text) {
    alert(WARNING, "", text, OK_BUTTON, nullptr, 0, 0);
}
