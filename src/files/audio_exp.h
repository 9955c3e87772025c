// Audio export: renders the score to a WAV file with the software synthesiser, from the same
// MIDI rendering that background playback hears (every track but the muted ones, with their
// programs, volumes and the tempo map), played by FluidSynth's offline file renderer.
#pragma once

#include "model/score.h"

constexpr int AUDIO_TAIL_MS = 1000; // rendered after the last note so that its release sounds

// Writes s, from its first measure, to path as 16-bit stereo WAV at 48 kHz (under a temporary
// name, renamed into place when complete). Returns 1, or 0 when the score cannot be rendered
// (no soundfont: the reason goes through file_message) or the file cannot be written; an
// existing file is then untouched.
int write_audio(const char *path, score *s);
