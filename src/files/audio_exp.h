// Audio export: renders the score with the software synthesiser, from the same MIDI rendering
// that background playback hears (every track but the muted ones, with their programs, volumes
// and the tempo map), brings it to a common loudness and writes WAV, FLAC, Ogg Vorbis or MP3
// through libsndfile, chosen by the file's extension.
#pragma once

#include "model/score.h"

constexpr int AUDIO_TAIL_MS = 1000; // rendered after the last note so that its release sounds

// The libsndfile format for a file name's extension (.wav, .flac, .ogg, .mp3, any case); 0 for
// another one.
int audio_format_of(const char *path);
// The extensions audio_format_of knows, for messages: ".wav, .flac, .ogg or .mp3".
extern const char AUDIO_EXTENSIONS[];

// Writes s, from its first measure, to path as stereo at 48 kHz (16-bit for WAV and FLAC), at
// an integrated loudness of EXPORT_LOUDNESS_LUFS with its true peak at most
// EXPORT_TRUE_PEAK_DBTP (a silent score stays silent), under a temporary name renamed into
// place when complete. Returns 1, or 0 when the type is unknown or the score cannot be rendered
// (the reason goes through file_message) or the file cannot be written; an existing file is
// then untouched.
int write_audio(const char *path, score *s);
// The same in a format of audio_format_of, whatever path's own extension (a temporary name).
int write_audio_format(const char *path, score *s, int format);
