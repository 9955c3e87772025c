// Signs for the end-to-end tests: with PLINKEL_TEST_SIGNALS naming a file (or "fd:N"), the
// editor writes one short line per event a test must wait for. Unset, every call is one test of
// a flag. The tests mark their input with a fence key that the editor swallows and counts.
#pragma once

// Open when the environment asks for signs; -1 otherwise.
extern int test_signals_fd;

// Reads PLINKEL_TEST_SIGNALS and, when it is set, installs the fence key and the GUI's poll
// report. Call once the keyboard, the mouse and the GUI's own hooks are installed.
void test_signals_start();

void test_signal_write(const char *event, const char *detail);
// One line "EVENT DETAIL" (detail may be null), e.g. "menu open", "wrote song.seq".
inline void test_signal(const char *event, const char *detail = nullptr) {
    if (test_signals_fd >= 0)
        test_signal_write(event, detail);
}

int test_signals_fence_count();
// How many fence keys the library has received so far; read it before polling the input.
inline int test_signals_fence() {
    return test_signals_fd >= 0 ? test_signals_fence_count() : 0;
}

void test_signals_report_poll(int fence, int busy);
// The editor has polled its input after fence `fence` arrived; busy: that input asks for work.
// Writes "seen N" the first time fence N is seen and "idle N" once the editor has then polled
// for a while with nothing to do (all input up to the fence taken and its work done).
inline void test_signals_poll(int fence, int busy) {
    if (test_signals_fd >= 0)
        test_signals_report_poll(fence, busy);
}
