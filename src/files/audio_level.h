// The level of exported audio: a look-ahead peak limiter for stereo frames, and the loudness
// (EBU R128 integrated, through libebur128) and true peak that export aims at.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

constexpr double EXPORT_LOUDNESS_LUFS = -16.0;
constexpr double EXPORT_TRUE_PEAK_DBTP = -1.0;
constexpr int LIMITER_LOOKAHEAD_FRAMES = 240;     // 5 ms at 48 kHz: the gain ramps down over it
constexpr double LIMITER_RELEASE_FRAMES = 4800.0; // 100 ms: time constant of the recovery

// A limiter that keeps every sample within threshold: the gain a frame needs is reached
// gradually over the look-ahead before it and recovers slowly after it. Its output is the input
// delayed by LIMITER_LOOKAHEAD_FRAMES - 1 frames.
struct peak_limiter {
    float threshold;
    std::vector<float> held;  // the delayed input frames, two floats each (a ring)
    std::vector<double> ramp; // the smoothed gains of the last look-ahead frames (a ring)
    std::deque<std::pair<long, float>> need; // increasing minimum of the gains frames need
    double ramp_sum;
    double gain;
    long frames; // frames put in
};

void init_peak_limiter(peak_limiter *l, float threshold);
// Puts in the stereo frame in[0..1] and gives out the delayed, limited frame in out[0..1].
void limit_frame(peak_limiter *l, const float *in, float *out);

// Loudness and true peak of stereo frames at rate.
struct loudness_meter;
loudness_meter *new_loudness_meter(int rate);
void delete_loudness_meter(loudness_meter *m);
// 0 when libebur128 could not take the frames.
int meter_frames(loudness_meter *m, const float *frames, size_t count);
// Integrated loudness in LUFS (-HUGE_VAL for silence) and the true peak in dBTP of both
// channels.
double integrated_loudness(loudness_meter *m);
double true_peak_db(loudness_meter *m);

double db_to_gain(double db);
