// The end-to-end signs: one line per event on the descriptor asked for, nothing without it, and
// the rule that reports a fence once as seen and once as idle after quiet polling.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "editor/test_signals.h"

namespace {

constexpr int POLL_LIMIT = 20000; // polls of 0.1 ms: far more than the quiet time needs
constexpr int POLL_STEP_US = 100;

struct signal_pipe {
    int fds[2];
    signal_pipe() {
        EXPECT_EQ(pipe2(fds, O_NONBLOCK), 0);
        test_signals_fd = fds[1];
    }
    ~signal_pipe() {
        test_signals_fd = -1;
        close(fds[0]);
        close(fds[1]);
    }
    std::string lines() {
        std::string all;
        char chunk[256];
        ssize_t n;
        while ((n = read(fds[0], chunk, sizeof chunk)) > 0)
            all.append(chunk, n);
        return all;
    }
};

// Polls with nothing to do until the editor reports idle or the limit is reached.
std::string poll_until_idle(signal_pipe *p, int fence) {
    std::string got;
    for (int i = 0; i < POLL_LIMIT && got.find("idle") == std::string::npos; i++) {
        test_signals_poll(fence, 0);
        got += p->lines();
        usleep(POLL_STEP_US);
    }
    return got;
}

TEST(TestSignals, NothingIsWrittenUnlessAsked) {
    test_signals_fd = -1;
    test_signal("menu", "open");
    test_signals_poll(1, 0);
    EXPECT_EQ(test_signals_fence(), 0);
}

TEST(TestSignals, EventsAreOneLineEach) {
    signal_pipe p;
    test_signal("menu", "open");
    test_signal("turn");
    EXPECT_EQ(p.lines(), "menu open\nturn\n");
}

TEST(TestSignals, FenceIsSeenAtOnceAndIdleOnceAfterQuietPolls) {
    signal_pipe p;
    test_signals_poll(1, 1);
    EXPECT_EQ(p.lines(), "seen 1\n");
    for (int i = 0; i < 100; i++)
        test_signals_poll(1, 1);
    EXPECT_EQ(p.lines(), "") << "no idle while input waits";
    EXPECT_EQ(poll_until_idle(&p, 1), "idle 1\n");
    for (int i = 0; i < 100; i++)
        test_signals_poll(1, 0);
    EXPECT_EQ(p.lines(), "") << "idle is told once per fence";
}

TEST(TestSignals, FencesArrivingTogetherAreReportedByTheLatest) {
    signal_pipe p;
    test_signals_poll(4, 0);
    EXPECT_EQ(poll_until_idle(&p, 4), "seen 4\nidle 4\n");
}

} // namespace
