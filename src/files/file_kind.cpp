// File name extensions and the kinds of score file they stand for, and the reader of each kind.
#include "files/file_kind.h"

#include <strings.h>

#include "base/strutil.h"
#include "files/audio_exp.h"
#include "files/engrave.h"
#include "files/fileio.h"
#include "files/midi_imp.h"
#include "files/musicxml_read.h"

namespace {

struct extension_kind {
    const char *ext;
    file_kind kind;
};

const extension_kind extension_kinds[] = {
    {".seq", KIND_SEQ},      {".mid", KIND_MIDI},
    {".midi", KIND_MIDI},    {".musicxml", KIND_MUSICXML},
    {".xml", KIND_MUSICXML}, {".mxl", KIND_MXL},
    {".ly", KIND_LY},        {".asm", KIND_ASM},
};

} // namespace

file_kind file_kind_of(const char *path) {
    const char *dot = path_extension(path);
    if (!dot)
        return KIND_NONE;
    for (const extension_kind &e : extension_kinds)
        if (!strcasecmp(dot, e.ext))
            return e.kind;
    if (audio_format_of(path))
        return KIND_AUDIO;
    return engrave_format_of(path) ? KIND_ENGRAVED : KIND_NONE;
}

score_reader reader_of_kind(file_kind kind) {
    switch (kind) {
    case KIND_SEQ:
        return readfile;
    case KIND_MIDI:
        return midi_import;
    case KIND_MUSICXML:
    case KIND_MXL:
        return read_musicxml;
    default:
        return nullptr;
    }
}
