// Playback timing and click latency. PlaybackTiming plays a score of 32nd notes through the
// capture MIDI driver on the library's real millisecond clock and reports how far each logged
// note-on lies from its ideal time (median, p99, max in ms). ClickToPicture enters a note by a
// click on a dense score and redraws the whole picture. Needs an X display (the library's
// timer runs only under a real system driver) and mfont.pcx in the working directory:
// bench/bench_playback.sh provides both.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "base/clock.h"
#include "editor/cursor.h"
#include "editor/edit.h"
#include "render/glyphs.h"
#include "editor/interface.h"
#include "playback/midi_capture.h"
#include "editor/state.h"
#include "model/seq.h"
#include "playback/sound.h"
#include "render/draw.h"

namespace {

constexpr int NOTE_TICKS = 24; // a 32nd note: 62.5 ms at tempo 120
constexpr int PLAYED_MEASURES = 4;
constexpr double MS_PER_TICK = 500.0 / TICKS_PER_QUARTER; // at tempo 120
const char *const CAPTURE_LOG = "bench_playback_capture.log";

void reset_score(int tracks) {
    destroy_score(&g_score);
    init_score(&g_score);
    set_coord(&g_score.screen, 640, 480);
    set_coord(&g_score.origin, 63, 156);
    set_coord(&g_score.limit, 610, 474);
    track_num = tracks;
    init_track_info();
    update_active_tracks();
    offset_x = offset_y = 0;
    track_height = DEFAULT_TRACK_HEIGHT;
    panel_height = PANEL_HEIGHT;
    default_tempo = 120;
}

measure *append_measure() {
    measure *m = new_measure();
    _append_measure_list(&g_score.measures, m);
    if (!g_score.ref_measure)
        g_score.ref_measure = m;
    return m;
}

// Times (ms) of the note-ons logged after byte line `skip`.
std::vector<double> logged_note_ons(long skip) {
    std::vector<double> ons;
    FILE *f = std::fopen(CAPTURE_LOG, "r");
    if (!f)
        return ons;
    double t, status_time = 0;
    unsigned byte, status = 0;
    int data_index = 0;
    for (long line = 0; std::fscanf(f, "%lf %x", &t, &byte) == 2; line++) {
        if (line < skip)
            continue;
        if (byte >= 0x80) {
            status = byte;
            status_time = t;
            data_index = 0;
        } else if ((status & 0xF0) == 0x90 && ++data_index == 2 && byte > 0) {
            ons.push_back(status_time);
        }
    }
    std::fclose(f);
    return ons;
}

long logged_lines() {
    FILE *f = std::fopen(CAPTURE_LOG, "r");
    if (!f)
        return 0;
    long lines = 0;
    for (int c; (c = std::fgetc(f)) != EOF;)
        lines += c == '\n';
    std::fclose(f);
    return lines;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(std::ceil(p * v.size())) - 1;
    return v[std::min(i, v.size() - 1)];
}

void PlaybackTiming(benchmark::State &state) {
    reset_score(1);
    for (int i = 0; i < PLAYED_MEASURES; i++) {
        measure *m = append_measure();
        for (int x = 0; x < m->len; x += NOTE_TICKS)
            add_note(m, x, NOTE_TICKS, (x / NOTE_TICKS) % 12, 0);
        validate_measure(m);
    }
    std::vector<double> deviations;
    for (auto _ : state) {
        long skip = logged_lines();
        play_score(&g_score, g_score.measures.head);
        std::vector<double> ons = logged_note_ons(skip);
        for (size_t i = 0; i < ons.size(); i++)
            deviations.push_back(std::fabs(ons[i] - ons[0] - i * NOTE_TICKS * MS_PER_TICK));
    }
    if (deviations.empty()) {
        state.SkipWithError("no note-on reached the capture log");
        return;
    }
    state.counters["notes"] = static_cast<double>(deviations.size());
    state.counters["median_ms"] = percentile(deviations, 0.5);
    state.counters["p99_ms"] = percentile(deviations, 0.99);
    state.counters["max_ms"] = percentile(deviations, 1.0);
}
BENCHMARK(PlaybackTiming)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Four tracks of measures full of 16th-note chords: more than a screen wide.
void build_dense_score() {
    reset_score(4);
    for (int i = 0; i < 24; i++) {
        measure *m = append_measure();
        for (int track = 0; track < 4; track++)
            for (int x = 0; x < m->len; x += 48)
                for (int pitch : {0, 4, 7})
                    add_note(m, x, 48, pitch + 12 * (track % 2) - 12, track);
        validate_measure(m);
    }
}

void ClickToPicture(benchmark::State &state) {
    build_dense_score();
    // The first column of the second measure, a staff position free of notes there.
    measure *first = g_score.measures.head;
    int x = g_score.origin.x + first->width + 5, y = g_score.origin.y - 6 * 10;
    for (auto _ : state) {
        screen_insert_note_list(&g_score, x, y, 0);
        draw_all(current_view());
        state.PauseTiming();
        delete_note(&g_score, x, y);
        state.ResumeTiming();
    }
}
BENCHMARK(ClickToPicture)->Unit(benchmark::kMillisecond);

int start_library() {
    if (allegro_init() != 0) {
        std::fprintf(stderr, "bench_playback: cannot start the library: %s\n", allegro_error);
        return 0;
    }
    install_timer();
    start_clock();
    register_capture_driver();
    std::remove(CAPTURE_LOG);
    set_config_string("sound", "capture_log", CAPTURE_LOG);
    if (install_sound(DIGI_NONE, AL_ID('C', 'A', 'P', 'T'), nullptr) != 0) {
        std::fprintf(stderr, "bench_playback: no capture driver: %s\n", allegro_error);
        return 0;
    }
    set_color_depth(8);
    if (!get_note_font()) {
        std::fprintf(stderr, "bench_playback: mfont.pcx not found in the working directory\n");
        return 0;
    }
    set_colors();
    buf = create_bitmap(640, 480);
    cur_position_notes = create_note_p_array(CUR_POSITION_CHUNK);
    return buf != nullptr;
}

} // namespace

int main(int argc, char **argv) {
    if (!start_library())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    destroy_note_p_array(cur_position_notes);
    destroy_score(&g_score);
    destroy_bitmap(buf);
    destroy_all_fonts();
    return 0;
}
