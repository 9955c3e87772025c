// The MIDI capture driver used by the end-to-end tests and the timing benchmarks.
#include "playback/midi_capture.h"

#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <allegro/platform/aintunix.h>
#include <cstdio>
#include <ctime>

namespace {

FILE *capture_log = nullptr;
timespec capture_start;

double elapsed_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - capture_start.tv_sec) * 1000.0 +
           (now.tv_nsec - capture_start.tv_nsec) / 1.0e6;
}

int capture_detect(int input) {
    return input ? 0 : 1;
}

int capture_init(int input, int) {
    if (input)
        return -1;
    const char *path = get_config_string("sound", "capture_log", "midi_capture.log");
    capture_log = std::fopen(path, "a");
    if (!capture_log)
        return -1;
    clock_gettime(CLOCK_MONOTONIC, &capture_start);
    return 0;
}

void capture_exit(int) {
    if (capture_log)
        std::fclose(capture_log);
    capture_log = nullptr;
}

// Called from the main thread (midi_out) and from the library's timer thread (its MIDI
// player); each line goes out whole and is flushed so that a reader never sees half a line.
void capture_raw_midi(int data) {
    if (!capture_log)
        return;
    std::fprintf(capture_log, "%.3f %02X\n", elapsed_ms(), data & 0xFF);
    std::fflush(capture_log);
}

MIDI_DRIVER capture_driver = {
    AL_ID('C', 'A', 'P', 'T'),
    "Capture",
    "MIDI byte capture to a log file",
    "Capture",
    16, // voices
    0,  // basevoice
    16, // max_voices
    16, // def_voices
    -1, // xmin
    -1, // xmax
    capture_detect,
    capture_init,
    capture_exit,
    nullptr, // set_mixer_volume
    nullptr, // get_mixer_volume
    capture_raw_midi,
    _dummy_load_patches,
    _dummy_adjust_patches,
    _dummy_key_on,
    _dummy_noop1,
    _dummy_noop2,
    _dummy_noop3,
    _dummy_noop2,
    _dummy_noop2,
};

} // namespace

void register_capture_driver() {
    // Not auto-detected: only a configuration that names the driver selects it.
    _unix_register_midi_driver(capture_driver.id, &capture_driver, 0, 0);
}
