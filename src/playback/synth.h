// The software synthesiser shared by live MIDI output and audio export: which soundfont to load,
// a FluidSynth synthesiser with it loaded, and FluidSynth's messages kept off the terminal.
// Settings come from the [sound] section of the library's configuration file (allegro.cfg).
#pragma once

#include <fluidsynth.h>

// FluidSynth's player counts its sample clock in whole samples per millisecond, so at 44.1 kHz
// every tempo runs 0.2 % slow; at 48 kHz (also the usual rate of desktop sound servers) it is
// exact.
constexpr int SYNTH_SAMPLE_RATE = 48000;
// The synthesiser's output gain (FluidSynth's default is 0.2). Songs of several tracks then sound
// at about -17 to -20 LUFS with their peaks below full scale, and a chord of ten piano or organ
// notes at full velocity does not clip; audio export measures and sets its own level on top.
constexpr double SYNTH_GAIN = 0.5;

// The soundfont to load: [sound] soundfont when set, else the first General MIDI soundfont of
// SOUNDFONT_CANDIDATES that exists. Null when there is none.
const char *find_soundfont();

// Settings for a synthesiser at SYNTH_SAMPLE_RATE and SYNTH_GAIN with memory locking and the
// autoconnection of MIDI ports switched off. Null when FluidSynth cannot allocate them.
fluid_settings_t *new_synth_settings();

// A synthesiser on settings with the soundfont of find_soundfont loaded. Null, with a one-line
// reason in *why, when there is no soundfont or it cannot be loaded.
fluid_synth_t *new_loaded_synth(fluid_settings_t *settings, const char **why);

// Sends FluidSynth's error and warning messages to last_synth_error instead of standard error,
// and silences the ALSA library's own error printing: a machine without a sound card must not
// fill the terminal with failed device probes. Idempotent.
void quiet_synth_messages();
// The last error FluidSynth reported ("" when none).
const char *last_synth_error();
