// Speed of the software synthesiser: the cost of one audio period of the live output (how much
// of its 5.3 ms the synthesiser needs with a chord sounding), and audio export of a minute of a
// four-track score (counter "x_realtime": seconds of audio per second of rendering).
#include <allegro.h>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "bench_util.h"
#include "editor/interface.h"
#include "files/file_support.h"
#include "files/audio_exp.h"
#include "model/tie.h"
#include "model/voice.h"
#include "playback/fluid_driver.h"
#include "playback/sound.h"
#include "playback/synth.h"

namespace {

constexpr int EXPORT_TRACKS = 4;
constexpr int EXPORT_MEASURES = 30; // 4/4 at 120: one minute
constexpr int EIGHTH = 96;
constexpr int SUSTAINED_PROGRAM = 16; // an organ: its notes sound for as long as they are held
constexpr int LOWEST_KEY = 36;
constexpr int VELOCITY = 100;
const char *const WAV_PATH = "/tmp/plinkel_bench_sound.wav";

void bm_live_period(benchmark::State &state) {
    quiet_synth_messages();
    fluid_settings_t *settings = new_synth_settings();
    const char *why = "";
    fluid_synth_t *synth = new_loaded_synth(settings, &why);
    if (!synth) {
        state.SkipWithError(why);
        delete_fluid_settings(settings);
        return;
    }
    int notes = static_cast<int>(state.range(0));
    for (int i = 0; i < notes; i++) {
        fluid_synth_program_change(synth, i % MIDI_CHANNELS, SUSTAINED_PROGRAM);
        fluid_synth_noteon(synth, i % MIDI_CHANNELS, LOWEST_KEY + i, VELOCITY);
    }
    std::vector<short> frames(2 * FLUID_PERIOD_FRAMES);
    for (auto _ : state)
        fluid_synth_write_s16(synth, FLUID_PERIOD_FRAMES, frames.data(), 0, 2, frames.data(), 1, 2);
    state.counters["voices"] = fluid_synth_get_active_voice_count(synth);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
}
BENCHMARK(bm_live_period)->Arg(1)->Arg(16)->Arg(64)->Unit(benchmark::kMicrosecond);

void build_export_score() {
    init_g_score();
    measure *m = g_score.measures.head;
    for (int i = 1; i < EXPORT_MEASURES; i++) {
        measure *next = new_measure();
        insert_measure(&g_score, m, next);
        m = next;
    }
    g_score.track_num = EXPORT_TRACKS;
    for (int t = 0; t < EXPORT_TRACKS; t++)
        g_score.tracks[t].channel = t;
    int k = 0;
    for (measure *mm = g_score.measures.head; mm; mm = mm->next)
        for (int x = 0; x < mm->len; x += EIGHTH, k++)
            for (int t = 0; t < EXPORT_TRACKS; t++)
                add_note(mm, x, EIGHTH, (k * 5 + t * 7) % 24 - 12, t);
    score_expand_by_measure(&g_score);
    for (measure *mm = g_score.measures.head; mm; mm = mm->next)
        validate_measure(mm);
}

void bm_write_audio(benchmark::State &state) {
    build_export_score();
    double seconds = EXPORT_MEASURES * 2.0;
    for (auto _ : state)
        if (!write_audio(WAV_PATH, &g_score))
            state.SkipWithError("write_audio failed");
    state.counters["x_realtime"] =
        benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
    destroy_score(&g_score);
    std::remove(WAV_PATH);
}
BENCHMARK(bm_write_audio)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return 1;
    file_trace_on = 0;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
