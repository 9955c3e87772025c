// Time stamps for what the synthesiser is sent live: the wall time at which an event arrives is
// mapped onto the synthesiser's sample clock, so that every event sounds a constant delay after
// it arrived instead of at the start of whichever audio period is rendered next.
#pragma once

#include <cstdint>

// The audio driver renders a period at a time, ahead of real time; the clock's lead follows the
// upper envelope of (rendered sample time - wall time), the most the rendering has been seen
// ahead. It sinks by CLOCK_DRIFT of the time elapsed, so that a sound card slower than the
// system clock is followed too. All times are in sample frames.
constexpr double CLOCK_DRIFT = 1e-4;

struct sample_clock {
    int rate;           // frames per second
    int block;          // frames rendered between two looks at the synthesiser's event queue
    int started;        // the rendering has been observed at least once
    double lead;        // sample time minus wall time at its most ahead
    double observed_at; // wall time of the last observation
    int64_t last_stamp; // the latest stamp given out
};

void init_sample_clock(sample_clock *c, int rate, int block);
// The rendering side: the synthesiser renders the block at sample_time while the wall clock
// reads wall_time.
void observe_sample_clock(sample_clock *c, double sample_time, double wall_time);
// The sample time at which an event arriving at wall_time is to sound: wall time plus the lead
// plus margin frames (so that its block has surely not been rendered yet), at the nearest block
// start, and after every earlier stamp, so that events keep their order. -1 before the first
// observation: the event is then to be played at once.
int64_t stamp_event(sample_clock *c, double wall_time, double margin);
// The sequencer's time at the block starting at block_start: FluidSynth's sequencer looks at its
// queue before each block with the block's start truncated to whole milliseconds, and applies
// every event stamped up to then.
int64_t sequencer_time_at(const sample_clock *c, int64_t block_start);
