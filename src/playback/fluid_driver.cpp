// The FluidSynth MIDI driver: brings up a synthesiser and an audio output when the library
// detects it, reassembles the bytes it is handed into MIDI messages and hands them to
// FluidSynth's sequencer, time-stamped on the synthesiser's sample clock.
#include "playback/fluid_driver.h"

#include <allegro/internal/aintern.h>
#include <allegro/platform/aintunix.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "playback/midi_parse.h"
#include "playback/sample_clock.h"
#include "playback/sound.h"
#include "playback/synth.h"

namespace {

// Tried in order when the configuration names no audio driver: the desktop's sound server
// (PulseAudio, or PipeWire through its PulseAudio service), then the sound card directly.
const char *const AUDIO_DRIVERS[] = {"pulseaudio", "alsa"};
const char *const DEFAULT_AUDIO_FILE = "plinkel.wav";
constexpr int FILE_PERIOD_FRAMES = 480; // 10 ms: the file driver paces itself in whole ms

constexpr int PITCH_BEND_BITS = 7;

// Blocks between the rendered sample time and a stamp: the block an event lands in has not been
// rendered even when the lead was last seen a moment before the rendering ran ahead again.
constexpr int STAMP_MARGIN_BLOCKS = 2;
constexpr double MS_PER_SECOND = 1000.0;

struct fluid_output {
    fluid_settings_t *settings;
    fluid_synth_t *synth;
    fluid_sequencer_t *sequencer; // on the synthesiser's sample clock, one tick per frame
    fluid_seq_id_t synth_client;  // the synthesiser as the sequencer's destination
    fluid_seq_id_t clock_client;  // wakes up at every block to observe the rendering
    fluid_audio_driver_t *audio;
};

fluid_output output;
midi_parser parser;
// midi_out (main thread) and the library's MIDI player (timer thread) both send bytes.
std::mutex parser_lock;
// The clock is observed by the audio thread and read by those that send bytes.
sample_clock clock;
std::mutex clock_lock;
int reported;

double wall_frames() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count() * SYNTH_SAMPLE_RATE;
}

// Runs in the audio thread at every block the synthesiser renders: notes where the sample clock
// stands against the wall clock, and asks to be woken again at the next block.
void observe_rendering(unsigned int, fluid_event_t *event, fluid_sequencer_t *sequencer, void *) {
    if (fluid_event_get_type(event) != FLUID_SEQ_TIMER)
        return;
    unsigned int now = fluid_sequencer_get_tick(sequencer);
    {
        std::lock_guard<std::mutex> hold(clock_lock);
        observe_sample_clock(&clock, now, wall_frames());
    }
    fluid_event_t *next = new_fluid_event();
    if (!next)
        return;
    fluid_event_set_source(next, -1);
    fluid_event_set_dest(next, output.clock_client);
    fluid_event_timer(next, nullptr);
    fluid_sequencer_send_at(sequencer, next, now + 1, 1);
    delete_fluid_event(next);
}

// The sequencer on the sample clock, the synthesiser and the observer registered with it.
int start_sequencer() {
    output.sequencer = new_fluid_sequencer2(0);
    if (!output.sequencer)
        return 0;
    fluid_sequencer_set_time_scale(output.sequencer, SYNTH_SAMPLE_RATE);
    output.synth_client = fluid_sequencer_register_fluidsynth(output.sequencer, output.synth);
    output.clock_client = fluid_sequencer_register_client(output.sequencer, "plinkel clock",
                                                          observe_rendering, nullptr);
    if (output.synth_client == FLUID_FAILED || output.clock_client == FLUID_FAILED)
        return 0;
    init_sample_clock(&clock, SYNTH_SAMPLE_RATE, fluid_synth_get_internal_bufsize(output.synth));
    fluid_event_t *first = new_fluid_event();
    if (!first)
        return 0;
    fluid_event_set_source(first, -1);
    fluid_event_set_dest(first, output.clock_client);
    fluid_event_timer(first, nullptr);
    fluid_sequencer_send_at(output.sequencer, first, 0, 1);
    delete_fluid_event(first);
    return 1;
}

void report_silence(const char *why) {
    if (reported)
        return;
    reported = 1;
    std::fprintf(stderr, "plinkel: no sound: %s\n", why);
}

void stop_output() {
    if (output.audio)
        delete_fluid_audio_driver(output.audio);
    // Unregistering the synthesiser from the sequencer needs the synthesiser.
    if (output.sequencer)
        delete_fluid_sequencer(output.sequencer);
    if (output.synth)
        delete_fluid_synth(output.synth);
    if (output.settings)
        delete_fluid_settings(output.settings);
    output = fluid_output{};
}

fluid_audio_driver_t *open_audio(const char *driver) {
    int period = get_config_int("sound", "fluid_period", FLUID_PERIOD_FRAMES);
    if (!std::strcmp(driver, "file")) {
        period = FILE_PERIOD_FRAMES;
        fluid_settings_setstr(output.settings, "audio.file.name",
                              get_config_string("sound", "fluid_audio_file", DEFAULT_AUDIO_FILE));
    }
    fluid_settings_setstr(output.settings, "audio.driver", driver);
    fluid_settings_setint(output.settings, "audio.period-size", period);
    fluid_settings_setint(output.settings, "audio.periods", FLUID_PERIODS);
    return new_fluid_audio_driver(output.settings, output.synth);
}

// The configured audio driver, or the first of AUDIO_DRIVERS that opens.
int start_audio() {
    const char *configured = get_config_string("sound", "fluid_audio", nullptr);
    if (configured && configured[0])
        output.audio = open_audio(configured);
    else
        for (const char *driver : AUDIO_DRIVERS)
            if ((output.audio = open_audio(driver)))
                break;
    return output.audio != nullptr;
}

int start_output() {
    if (output.synth)
        return 1;
    quiet_synth_messages();
    const char *why = "the synthesiser's settings cannot be created";
    output.settings = new_synth_settings();
    if (output.settings)
        output.synth = new_loaded_synth(output.settings, &why);
    if (!output.synth) {
        report_silence(why);
        stop_output();
        return 0;
    }
    // Before the audio output starts, so that the sample clock counts from the first block.
    if (!start_sequencer()) {
        report_silence("the synthesiser's sequencer cannot be created");
        stop_output();
        return 0;
    }
    if (!start_audio()) {
        static char reason[512];
        const char *error = last_synth_error();
        std::snprintf(reason, sizeof reason, "no audio output could be opened%s%s",
                      error[0] ? ": " : "", error);
        report_silence(reason);
        stop_output();
        return 0;
    }
    return 1;
}

// The sequencer event of a channel message; 0 for a kind it does not carry.
int fill_event(fluid_event_t *event, int status, const int *data) {
    int channel = status & 0x0F;
    switch (status & 0xF0) {
    case 0x80:
        fluid_event_noteoff(event, channel, data[0]);
        return 1;
    case 0x90:
        fluid_event_noteon(event, channel, data[0], data[1]);
        return 1;
    case 0xA0:
        fluid_event_key_pressure(event, channel, data[0], data[1]);
        return 1;
    case 0xB0:
        fluid_event_control_change(event, channel, data[0], data[1]);
        return 1;
    case 0xC0:
        fluid_event_program_change(event, channel, data[0]);
        return 1;
    case 0xD0:
        fluid_event_channel_pressure(event, channel, data[0]);
        return 1;
    case 0xE0:
        fluid_event_pitch_bend(event, channel, data[0] | data[1] << PITCH_BEND_BITS);
        return 1;
    }
    return 0;
}

// Stamped at the time the message was due: its arrival, less the lateness its sender reports.
int64_t stamp_now() {
    double due = wall_frames() - midi_send_lateness * SYNTH_SAMPLE_RATE / MS_PER_SECOND;
    std::lock_guard<std::mutex> hold(clock_lock);
    return stamp_event(&clock, due, STAMP_MARGIN_BLOCKS * clock.block);
}

// Scheduled at its stamp; played at once while the rendering has not been seen yet.
void play_message(int status, const int *data) {
    fluid_event_t *event = new_fluid_event();
    if (!event)
        return;
    fluid_event_set_source(event, -1);
    fluid_event_set_dest(event, output.synth_client);
    if (fill_event(event, status, data)) {
        int64_t stamp = stamp_now();
        if (stamp < 0)
            fluid_sequencer_send_now(output.sequencer, event);
        else
            fluid_sequencer_send_at(output.sequencer, event, static_cast<unsigned int>(stamp), 1);
    }
    delete_fluid_event(event);
}

void parse_byte(int byte) {
    if (midi_parse_byte(&parser, byte))
        play_message(parser.status, parser.data);
}

int fluid_detect(int input) {
    return input ? 0 : start_output();
}

int fluid_init(int input, int) {
    if (input || !start_output())
        return -1;
    parser = midi_parser{};
    return 0;
}

void fluid_exit(int) {
    // The library's MIDI player may still be sending from its timer thread.
    std::lock_guard<std::mutex> hold(parser_lock);
    stop_output();
}

void fluid_raw_midi(int data) {
    std::lock_guard<std::mutex> hold(parser_lock);
    if (output.synth)
        parse_byte(data & 0xFF);
}

MIDI_DRIVER fluid_driver = {
    FLUID_DRIVER_ID,
    "FluidSynth",
    "FluidSynth software synthesiser",
    "FluidSynth",
    16, // voices
    0,  // basevoice
    16, // max_voices
    16, // def_voices
    -1, // xmin
    -1, // xmax
    fluid_detect,
    fluid_init,
    fluid_exit,
    nullptr, // set_mixer_volume
    nullptr, // get_mixer_volume
    fluid_raw_midi,
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

void register_fluid_driver() {
    // Auto-detected, and first in the list: the library tries it before any other driver.
    _unix_register_midi_driver(fluid_driver.id, &fluid_driver, 1, 1);
}
