// The signs for the end-to-end tests (see test_signals.h): the line writer, the fence key
// counted on the library's input thread, and the rule that turns polls into "seen" and "idle".
#include "editor/test_signals.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <allegro.h>
#include <fcntl.h>
#include <unistd.h>

int test_signals_fd = -1;

namespace {

// The fence is Print, bound to nothing: counted where a key enters the keyboard buffer (the
// library's low-level callback misses some presses) and kept out of it.
constexpr int FENCE_KEY = KEY_PRTSCR;
// The editor is idle once it has polled for this long, without gaps, with nothing to do. A
// longer pause between two polls means it was working (drawing, writing) in between; the
// first poll of a dialog comes before its first picture.
constexpr int QUIET_MS = 30;
constexpr int POLL_GAP_MS = 50;
constexpr int SIGNAL_LINE_MAX = 512;

std::atomic<int> fences{0};
int seen = 0;
int idle_told = 0;
long quiet_since = 0;
long last_poll = 0;
int quiet_polls = 0;
int (*polled_gui_buttons)() = nullptr;

long now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Called for every key that would enter the keyboard buffer.
int take_fence(int key) {
    if ((key >> 8) != FENCE_KEY)
        return key;
    fences.fetch_add(1);
    return 0;
}
END_OF_FUNCTION(take_fence)

// Every menu, dialog, alert and the file selector read the buttons through gui_mouse_b.
int gui_buttons_reported() {
    int fence = test_signals_fence_count();
    int buttons = polled_gui_buttons();
    test_signals_report_poll(fence, buttons || keypressed());
    return buttons;
}

int open_destination(const char *where) {
    if (std::strncmp(where, "fd:", 3) == 0)
        return std::atoi(where + 3);
    // A pipe the test has stopped reading must not stall the editor: a line that does not fit
    // is dropped.
    return open(where, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
}

void install_fence() {
    LOCK_VARIABLE(fences);
    LOCK_FUNCTION(take_fence);
    keyboard_callback = take_fence;
    polled_gui_buttons = gui_mouse_b;
    gui_mouse_b = gui_buttons_reported;
}

} // namespace

void test_signals_start() {
    const char *where = std::getenv("PLINKEL_TEST_SIGNALS");
    if (!where || !*where || test_signals_fd >= 0)
        return;
    test_signals_fd = open_destination(where);
    if (test_signals_fd < 0) {
        std::fprintf(stderr, "plinkel: cannot open the test signals %s\n", where);
        return;
    }
    install_fence();
    test_signal("start");
}

void test_signal_write(const char *event, const char *detail) {
    char line[SIGNAL_LINE_MAX];
    int n = std::snprintf(line, sizeof line, detail ? "%s %s\n" : "%s\n", event, detail);
    if (n > 0 && write(test_signals_fd, line, std::min<size_t>(n, sizeof line - 1)) < 0 &&
        errno != EAGAIN)
        test_signals_fd = -1;
}

int test_signals_fence_count() {
    return fences.load();
}

void test_signals_report_poll(int fence, int busy) {
    long now = now_ms();
    char number[16];
    int fresh = fence > seen;
    if (fresh) {
        seen = fence;
        std::snprintf(number, sizeof number, "%d", seen);
        test_signal("seen", number);
    }
    if (busy || fresh || now - last_poll > POLL_GAP_MS) {
        quiet_since = now;
        quiet_polls = 0;
    }
    last_poll = now;
    quiet_polls++;
    if (idle_told < seen && quiet_polls > 1 && now - quiet_since >= QUIET_MS) {
        idle_told = seen;
        std::snprintf(number, sizeof number, "%d", seen);
        test_signal("idle", number);
    }
}
