// The software synthesiser shared by live MIDI output and audio export: soundfont choice,
// synthesiser creation and the redirection of FluidSynth's and ALSA's messages.
#include "playback/synth.h"

#include <alsa/asoundlib.h>
#include <allegro.h>
#include <cstdarg>
#include <cstdio>
#include <unistd.h>

namespace {

// Debian's General MIDI soundfonts, the fuller one first.
const char *const SOUNDFONT_CANDIDATES[] = {
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};
constexpr int SYNTH_ERROR_SIZE = 256;

char synth_error[SYNTH_ERROR_SIZE];

void keep_synth_message(int, const char *message, void *) {
    std::snprintf(synth_error, sizeof synth_error, "%s", message);
}

void ignore_synth_message(int, const char *, void *) {}

void ignore_alsa_message(const char *, int, const char *, int, const char *, ...) {}

int readable(const char *path) {
    return path && path[0] && access(path, R_OK) == 0;
}

} // namespace

const char *find_soundfont() {
    const char *configured = get_config_string("sound", "soundfont", nullptr);
    if (configured && configured[0])
        return configured;
    for (const char *path : SOUNDFONT_CANDIDATES)
        if (readable(path))
            return path;
    return nullptr;
}

fluid_settings_t *new_synth_settings() {
    fluid_settings_t *settings = new_fluid_settings();
    if (!settings)
        return nullptr;
    fluid_settings_setnum(settings, "synth.sample-rate", SYNTH_SAMPLE_RATE);
    fluid_settings_setnum(settings, "synth.gain", SYNTH_GAIN);
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_settings_setint(settings, "midi.autoconnect", 0);
    return settings;
}

fluid_synth_t *new_loaded_synth(fluid_settings_t *settings, const char **why) {
    static char reason[SYNTH_ERROR_SIZE + 64];
    const char *soundfont = find_soundfont();
    if (!soundfont) {
        *why = "no soundfont found (install timgm6mb-soundfont or set [sound] soundfont in "
               "allegro.cfg)";
        return nullptr;
    }
    fluid_synth_t *synth = new_fluid_synth(settings);
    if (!synth) {
        *why = "the synthesiser cannot be created";
        return nullptr;
    }
    if (fluid_synth_sfload(synth, soundfont, 1) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        std::snprintf(reason, sizeof reason, "the soundfont %s cannot be loaded", soundfont);
        *why = reason;
        return nullptr;
    }
    return synth;
}

void quiet_synth_messages() {
    fluid_set_log_function(FLUID_PANIC, keep_synth_message, nullptr);
    fluid_set_log_function(FLUID_ERR, keep_synth_message, nullptr);
    fluid_set_log_function(FLUID_WARN, ignore_synth_message, nullptr);
    fluid_set_log_function(FLUID_INFO, ignore_synth_message, nullptr);
    fluid_set_log_function(FLUID_DBG, ignore_synth_message, nullptr);
    snd_lib_error_set_handler(ignore_alsa_message);
}

const char *last_synth_error() {
    return synth_error;
}
