// The mapping of arrival times onto the synthesiser's sample clock: an envelope of how far the
// rendering runs ahead of the wall clock, and stamps placed on the blocks the sequencer applies.
#include "playback/sample_clock.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t MS_PER_SECOND = 1000;

// The first stamp the sequencer applies at block number n.
int64_t first_stamp_of_block(const sample_clock *c, int64_t n) {
    return n <= 0 ? 0 : sequencer_time_at(c, (n - 1) * c->block) + 1;
}

} // namespace

void init_sample_clock(sample_clock *c, int rate, int block) {
    *c = sample_clock{};
    c->rate = rate;
    c->block = block;
    c->last_stamp = -1;
}

void observe_sample_clock(sample_clock *c, double sample_time, double wall_time) {
    double lead = sample_time - wall_time;
    if (!c->started) {
        c->started = 1;
        c->lead = lead;
    } else {
        double sunk = c->lead - CLOCK_DRIFT * std::max(0.0, wall_time - c->observed_at);
        c->lead = std::max(lead, sunk);
    }
    c->observed_at = wall_time;
}

int64_t stamp_event(sample_clock *c, double wall_time, double margin) {
    if (!c->started)
        return -1;
    double due = wall_time + c->lead + margin;
    auto n = static_cast<int64_t>(std::llround(due / c->block));
    int64_t stamp = std::max(first_stamp_of_block(c, n), c->last_stamp + 1);
    c->last_stamp = stamp;
    return stamp;
}

int64_t sequencer_time_at(const sample_clock *c, int64_t block_start) {
    int64_t ms = block_start * MS_PER_SECOND / c->rate;
    return ms * c->rate / MS_PER_SECOND;
}
