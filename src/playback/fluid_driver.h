// The FluidSynth MIDI driver: a MIDI driver of the library that plays every byte sent to it
// (by midi_out and by the library's MIDI player) on a FluidSynth synthesiser, heard through
// FluidSynth's own audio drivers. Each message is time-stamped on the synthesiser's sample
// clock at its arrival (less the lateness its sender reports), so it sounds a constant delay
// later instead of at the start of the next audio period. It is auto-detected ahead of every other
// MIDI driver, so a plain start sounds; [sound] midi_card in allegro.cfg still chooses another one.
// Settings, all in [sound]: soundfont (path), fluid_audio (one FluidSynth audio driver, e.g. "alsa"
// or "file"; default: PulseAudio, then ALSA), fluid_audio_file (output of the "file" driver),
// fluid_period (frames per audio period; two periods are buffered).
#pragma once

#include <allegro.h>

constexpr int FLUID_DRIVER_ID = AL_ID('F', 'S', 'Y', 'N');
constexpr int FLUID_PERIOD_FRAMES = 256; // 2 x 256 frames at 48 kHz: 10.7 ms of buffer
constexpr int FLUID_PERIODS = 2;

// Makes the driver known to the library; call after allegro_init, before install_sound.
void register_fluid_driver();
