// The score formats that file name extensions stand for: one table for the editor, which opens
// a file named on its command line by its extension, and for the converter.
#pragma once

#include "model/score.h"

enum file_kind {
    KIND_NONE,
    KIND_SEQ,
    KIND_MIDI,
    KIND_MUSICXML,
    KIND_MXL,
    KIND_LY,
    KIND_ASM,
    KIND_AUDIO,
    KIND_ENGRAVED
};

// The kind of path's extension (any case; .mid and .midi, .musicxml and .xml, the audio
// extensions of audio_format_of, the engraved ones of engrave_format_of); KIND_NONE without an
// extension or for another one.
file_kind file_kind_of(const char *path);

// A reader of score files: 1 when path was read into s (see readfile).
typedef int (*score_reader)(const char *path, score *s);
// The reader of a kind: readfile, midi_import or read_musicxml; null for a kind only written.
score_reader reader_of_kind(file_kind kind);
