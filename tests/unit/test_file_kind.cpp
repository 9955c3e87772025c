// The extension table that the editor's command line and the converter share, and the reader
// each kind is read with.
#include <gtest/gtest.h>

#include "files/file_kind.h"
#include "files/fileio.h"
#include "files/midi_imp.h"
#include "files/musicxml_read.h"

TEST(FileKind, ExtensionsNameTheirKindAndReader) {
    struct row {
        const char *path;
        file_kind kind;
        score_reader reader;
    };
    const row rows[] = {
        {"a.seq", KIND_SEQ, readfile},
        {"dir/SONG.MID", KIND_MIDI, midi_import},
        {"a.midi", KIND_MIDI, midi_import},
        {"a.musicxml", KIND_MUSICXML, read_musicxml},
        {"a.Xml", KIND_MUSICXML, read_musicxml},
        {"a.mxl", KIND_MXL, read_musicxml},
        {"a.ly", KIND_LY, nullptr},
        {"a.asm", KIND_ASM, nullptr},
        {"a.flac", KIND_AUDIO, nullptr},
        {"a.txt", KIND_NONE, nullptr},
        {"no_extension", KIND_NONE, nullptr},
        {"dir.mid/file", KIND_NONE, nullptr},
    };
    for (const row &r : rows) {
        EXPECT_EQ(file_kind_of(r.path), r.kind) << r.path;
        EXPECT_EQ(reader_of_kind(file_kind_of(r.path)), r.reader) << r.path;
    }
}
