// The limiter and the loudness meter of audio export. The limiter takes the sliding minimum of
// the gains the coming frames need, lets it recover exponentially and averages it over the
// look-ahead: the average at a frame is at most the gain that frame needs, and it changes
// smoothly.
#include "files/audio_level.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>

namespace {

constexpr int CHANNELS = 2;
constexpr int L = LIMITER_LOOKAHEAD_FRAMES;

float needed_gain(const peak_limiter *l, const float *frame) {
    float peak = std::max(std::fabs(frame[0]), std::fabs(frame[1]));
    return peak > l->threshold ? l->threshold / peak : 1.0f;
}

} // namespace

void init_peak_limiter(peak_limiter *l, float threshold) {
    l->threshold = threshold;
    l->held.assign(CHANNELS * L, 0.0f);
    l->ramp.assign(L, 1.0);
    l->need.clear();
    l->ramp_sum = L;
    l->gain = 1.0;
    l->frames = 0;
}

void limit_frame(peak_limiter *l, const float *in, float *out) {
    long n = l->frames++;
    float need = needed_gain(l, in);
    while (!l->need.empty() && l->need.back().second >= need)
        l->need.pop_back();
    l->need.emplace_back(n, need);
    while (l->need.front().first <= n - L)
        l->need.pop_front();
    // The smallest gain of the look-ahead, approached from above at the release rate.
    double recovered = l->gain + (1.0 - l->gain) / LIMITER_RELEASE_FRAMES;
    l->gain = std::min<double>(l->need.front().second, recovered);
    int slot = static_cast<int>(n % L);
    l->ramp_sum += l->gain - l->ramp[slot];
    l->ramp[slot] = l->gain;
    double gain = std::min(1.0, l->ramp_sum / L);
    // The frame put in L - 1 frames ago leaves; this one takes the next slot of the ring.
    float *held = &l->held[CHANNELS * ((n + 1) % L)];
    out[0] = static_cast<float>(held[0] * gain);
    out[1] = static_cast<float>(held[1] * gain);
    float *mine = &l->held[CHANNELS * slot];
    mine[0] = in[0];
    mine[1] = in[1];
}

struct loudness_meter {
    ebur128_state *state;
};

loudness_meter *new_loudness_meter(int rate) {
    ebur128_state *state = ebur128_init(CHANNELS, static_cast<unsigned long>(rate),
                                        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    return state ? new loudness_meter{state} : nullptr;
}

void delete_loudness_meter(loudness_meter *m) {
    if (!m)
        return;
    ebur128_destroy(&m->state);
    delete m;
}

int meter_frames(loudness_meter *m, const float *frames, size_t count) {
    return ebur128_add_frames_float(m->state, frames, count) == EBUR128_SUCCESS;
}

double integrated_loudness(loudness_meter *m) {
    double lufs = -HUGE_VAL;
    if (ebur128_loudness_global(m->state, &lufs) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return lufs;
}

double true_peak_db(loudness_meter *m) {
    double peak = 0.0;
    for (unsigned int c = 0; c < CHANNELS; c++) {
        double p = 0.0;
        if (ebur128_true_peak(m->state, c, &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
    }
    return peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
}

double db_to_gain(double db) {
    return std::pow(10.0, db / 20.0);
}
