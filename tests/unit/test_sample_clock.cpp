// Time stamps of live events against a fake sample clock: an audio driver that renders a period
// at a time, on time or late, on a sound card slightly slower than the system clock; and the
// live synthesiser's level on a loud chord.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "playback/sample_clock.h"
#include "playback/synth.h"

namespace {

constexpr int RATE = 48000;
constexpr int BLOCK = 64;
constexpr double MARGIN = 2 * BLOCK;

// A driver rendering periods of `period` frames, the k-th at wall time k * period * speed plus
// a lateness of its own, observing the clock at every block as FluidSynth's sequencer does.
struct fake_driver {
    int period;
    double speed;
    std::vector<double> late;
    long rendered = 0; // frames rendered so far
    double render_time(long k) const {
        return k * period * speed + (late.empty() ? 0.0 : late[k % late.size()]);
    }
    // Renders every period due by wall time w.
    void run_until(sample_clock *c, double w) {
        while (render_time(rendered / period) <= w) {
            double at = render_time(rendered / period);
            for (int b = 0; b < period / BLOCK; b++)
                observe_sample_clock(c, sequencer_time_at(c, rendered + b * BLOCK), at);
            rendered += period;
        }
    }
};

// The start of the block at which the sequencer applies an event stamped so.
double applied_at(const sample_clock *c, int64_t stamp) {
    int64_t b = stamp / BLOCK; // the sequencer's time at a block is at most its start
    while (sequencer_time_at(c, b * BLOCK) < stamp)
        b++;
    return static_cast<double>(b) * BLOCK;
}

struct clock_case {
    const char *name;
    int period;
    double speed;
    std::vector<double> late;
};

// Stamps of events arriving every 125 ms (and in pairs at once) under each driver: each lies a
// constant delay after its arrival (on the card's clock), to within one block; it is never in a
// block already rendered;
// the delay stays within a period and the margin; the order of arrival is kept.
TEST(SampleClock, StampsFollowArrivalAtAConstantDelayNeverInThePast) {
    const clock_case cases[] = {
        {"steady 256", 256, 1.0, {}},
        {"file driver 480", 480, 1.0, {}},
        {"late periods", 256, 1.0, {0, 90, 0, 250, 30, 0, 0, 1200}},
        {"slow card", 256, 1.0 + 8e-5, {}},
    };
    for (const clock_case &k : cases) {
        sample_clock c;
        init_sample_clock(&c, RATE, BLOCK);
        fake_driver d{k.period, k.speed, k.late};
        EXPECT_EQ(stamp_event(&c, 0.0, MARGIN), -1) << k.name << ": nothing observed yet";
        d.run_until(&c, 100.0);
        std::vector<double> delays;
        int64_t previous = -1;
        for (int i = 0; i < 480; i++) { // a minute of sixteenths at tempo 120
            double arrival = RATE + i * 6000.0 + (i * 7919 % 1000) * 0.37;
            d.run_until(&c, arrival);
            for (int twice = 0; twice < 2; twice++) {
                int64_t stamp = stamp_event(&c, arrival, MARGIN);
                EXPECT_GT(stamp, sequencer_time_at(&c, d.rendered - BLOCK))
                    << k.name << ": event " << i << " in a block already rendered";
                EXPECT_GT(stamp, previous) << k.name << ": order of event " << i;
                double delay = applied_at(&c, stamp) * k.speed - arrival; // on the card's clock
                EXPECT_LE(delay, k.period + MARGIN + BLOCK) << k.name << ": delay";
                previous = stamp;
                if (!twice)
                    delays.push_back(delay);
            }
        }
        auto [lo, hi] = std::minmax_element(delays.begin(), delays.end());
        EXPECT_LE(*hi - *lo, BLOCK + 1) << k.name << ": uneven by " << *hi - *lo << " frames";
    }
}

// Every stamp falls on the first sequencer time of its block, so the sequencer applies it at the
// block nearest its due time.
TEST(SampleClock, StampsLandInTheBlockNearestTheirTime) {
    sample_clock c;
    init_sample_clock(&c, RATE, BLOCK);
    observe_sample_clock(&c, 0.0, 0.0);
    for (double due = 1000.0; due < 1000.0 + 3 * RATE / 1000.0 * 4; due += 7.0) {
        int64_t stamp = stamp_event(&c, due - MARGIN, MARGIN);
        long block = std::lround(due / BLOCK);
        EXPECT_GT(stamp, sequencer_time_at(&c, (block - 1) * BLOCK)) << due;
        EXPECT_LE(stamp, sequencer_time_at(&c, block * BLOCK)) << due;
        c.last_stamp = -1; // each due time on its own
    }
}

// The live synthesiser: a ten-note chord at full velocity on a piano and on an organ stays below
// full scale.
TEST(LiveLevel, LoudChordDoesNotClip) {
    quiet_synth_messages();
    const int programs[] = {0, 16};
    const int keys[] = {36, 43, 48, 52, 55, 60, 64, 67, 72, 76};
    for (int program : programs) {
        fluid_settings_t *settings = new_synth_settings();
        const char *why = "";
        fluid_synth_t *synth = new_loaded_synth(settings, &why);
        ASSERT_NE(synth, nullptr) << why;
        for (int k : keys) {
            fluid_synth_program_change(synth, 0, program);
            fluid_synth_noteon(synth, 0, k, 127);
        }
        std::vector<float> frames(2 * RATE);
        fluid_synth_write_float(synth, RATE, frames.data(), 0, 2, frames.data(), 1, 2);
        float peak = 0.0f;
        for (float v : frames)
            peak = std::max(peak, std::fabs(v));
        EXPECT_LT(peak, 1.0f) << "program " << program;
        EXPECT_GT(peak, 0.1f) << "program " << program << ": hardly audible";
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }
}

} // namespace
