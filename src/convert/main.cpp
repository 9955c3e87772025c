// plinkel-convert: converts score files without a window (.seq, Standard MIDI Files and MusicXML,
// .mxl too as input; LilyPond, PIC16 tables and .wav audio as output; chosen by the file
// extensions), with the MIDI import grid on the command line (automatic unless asked).
// Silent unless --verbose; exit status 0 on success, 1 with one line on standard error otherwise.
#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "editor/interface.h"
#include "files/audio_exp.h"
#include "files/fileio.h"
#include "files/lilypond.h"
#include "files/midi_exp.h"
#include "files/midi_imp.h"
#include "files/musicxml_read.h"
#include "files/musicxml_write.h"
#include "files/pic16.h"

namespace {

constexpr int MESSAGE_SIZE = 1024;
constexpr int GRID_STEP = 3; // the grid is 3 x a power of two

enum file_kind {
    KIND_NONE,
    KIND_SEQ,
    KIND_MIDI,
    KIND_MUSICXML,
    KIND_MXL,
    KIND_LY,
    KIND_ASM,
    KIND_WAV
};

char last_message[MESSAGE_SIZE];

// Warnings on success are printed at once; on failure only the last message is printed.
void remember_message(const char *text) {
    std::snprintf(last_message, sizeof last_message, "%s", text);
}

int fail(const char *fmt, const char *arg) {
    std::fprintf(stderr, "plinkel-convert: ");
    std::fprintf(stderr, fmt, arg);
    std::fprintf(stderr, "\n");
    return 1;
}

file_kind kind_of(const char *path) {
    const char *dot = std::strrchr(path, '.');
    const char *slash = std::strrchr(path, '/');
    if (!dot || (slash && dot < slash))
        return KIND_NONE;
    if (!strcasecmp(dot, ".seq"))
        return KIND_SEQ;
    if (!strcasecmp(dot, ".mid") || !strcasecmp(dot, ".midi"))
        return KIND_MIDI;
    if (!strcasecmp(dot, ".musicxml") || !strcasecmp(dot, ".xml"))
        return KIND_MUSICXML;
    if (!strcasecmp(dot, ".mxl"))
        return KIND_MXL;
    if (!strcasecmp(dot, ".ly"))
        return KIND_LY;
    if (!strcasecmp(dot, ".asm"))
        return KIND_ASM;
    if (!strcasecmp(dot, ".wav"))
        return KIND_WAV;
    return KIND_NONE;
}

// The grid dialog's rule: the largest power of two not above a third of the value, 1 to 256.
int grid_atom(const char *text) {
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end || errno == ERANGE)
        return 0;
    long third = labs(v / GRID_STEP);
    int atom = 1;
    if (third < 1)
        return 0;
    while (static_cast<long>(atom) * 2 <= third && atom <= MIDI_ATOM_MAX)
        atom *= 2;
    return atom > MIDI_ATOM_MAX ? 0 : atom;
}

struct options {
    const char *input;
    const char *output;
    int verbose;
    int atom;
    midi_grid_mode grid;
};

int parse_args(int argc, char **argv, options *o) {
    o->input = o->output = nullptr;
    o->verbose = 0;
    o->atom = midi_atom;
    o->grid = midi_grid;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *grid = nullptr;
        if (!std::strcmp(a, "--verbose"))
            o->verbose = 1;
        else if (!std::strcmp(a, "--grid") && i + 1 < argc)
            grid = argv[++i];
        else if (!std::strncmp(a, "--grid=", 7))
            grid = a + 7;
        else if (a[0] == '-' && a[1])
            return fail("unknown option %s", a), 0;
        else if (!o->input)
            o->input = a;
        else if (!o->output)
            o->output = a;
        else
            return fail("unexpected argument %s", a), 0;
        if (grid && (!std::strcmp(grid, "auto") || !std::strcmp(grid, "exact"))) {
            o->grid = grid[0] == 'a' ? MIDI_GRID_AUTO : MIDI_GRID_EXACT;
            continue;
        }
        if (grid)
            o->grid = MIDI_GRID_EXACT;
        if (grid && !(o->atom = grid_atom(grid)))
            return fail("invalid grid %s (auto, exact, or 3 to 768 ticks, taken down to 3 x a "
                        "power of two)",
                        grid),
                   0;
    }
    if (!o->input || !o->output)
        return fail("%s",
                    "usage: plinkel-convert [--grid auto|exact|TICKS] [--verbose] INPUT OUTPUT"),
               0;
    return 1;
}

int read_input(const options &o, file_kind kind) {
    if (kind == KIND_SEQ)
        return readfile(o.input, &g_score);
    if (kind == KIND_MUSICXML || kind == KIND_MXL)
        return read_musicxml(o.input, &g_score);
    midi_atom = o.atom;
    midi_grid = o.grid;
    return midi_import(o.input, &g_score);
}

// A warning of a reader or of the MIDI renderer: the conversion goes on.
void print_warning() {
    if (last_message[0])
        std::fprintf(stderr, "plinkel-convert: warning: %s\n", last_message);
    last_message[0] = '\0';
}

// The MIDI writer: a track that does not fit is reported and the file is written with the
// others; a file without any track would hold no music, so nothing is written then.
int write_midi_output(const char *path) {
    MIDI *midi = makenew_midi();
    if (!midi)
        return 0;
    plinkel_midi_write_to_memory(g_score.measures.head, midi, 0);
    if (!midi_score_tracks(midi)) {
        destroy_midi(midi);
        std::string line = std::string(path) + ": no MIDI track could be written";
        if (last_message[0])
            line += std::string(": ") + last_message;
        remember_message(line.c_str());
        return 0;
    }
    print_warning();
    int ok = export_midi(midi, path);
    destroy_midi(midi);
    return ok;
}

// 1 when written; 0 with the reason in last_message, or with none when the file itself could
// not be written.
int write_output(const options &o, file_kind kind) {
    print_warning();
    switch (kind) {
    case KIND_SEQ:
        return writefile(o.output, &g_score);
    case KIND_MUSICXML:
        return write_musicxml(o.output, &g_score);
    case KIND_LY:
        return write_lilypond(o.output, &g_score);
    case KIND_ASM:
        return write_pic16(o.output, &g_score);
    case KIND_WAV:
        return write_audio(o.output, &g_score);
    default:
        return write_midi_output(o.output);
    }
}

int convert(const options &o) {
    file_kind in = kind_of(o.input), out = kind_of(o.output);
    if (in == KIND_NONE || in == KIND_LY || in == KIND_ASM || in == KIND_WAV)
        return fail("%s: unknown input type (use .seq, .mid, .musicxml or .mxl)", o.input);
    if (out == KIND_NONE || out == KIND_MXL)
        return fail("%s: unknown output type (use .seq, .mid, .musicxml, .ly, .asm or .wav)",
                    o.output);
    init_g_score();
    int status = 0;
    if (!read_input(o, in))
        status = last_message[0] ? fail("%s", last_message) : fail("%s: cannot be read", o.input);
    else if (!write_output(o, out))
        status =
            last_message[0] ? fail("%s", last_message) : fail("%s: cannot be written", o.output);
    destroy_score(&g_score);
    return status;
}

} // namespace

int main(int argc, char **argv) {
    options o;
    if (!parse_args(argc, argv, &o))
        return 1;
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return fail("%s", "the Allegro library cannot be started");
    file_trace_on = o.verbose;
    file_message_hook = remember_message;
    return convert(o);
}
END_OF_MAIN()
