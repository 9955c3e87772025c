// plinkel-convert: converts score files without a window, one or a batch of many (.seq,
// Standard MIDI Files and MusicXML, .mxl too as input; LilyPond, PIC16 tables and audio (.wav,
// .flac, .ogg, .mp3) and engraved PDF, PNG and SVG through LilyPond as output; chosen by the file
// extensions), with the MIDI import grid on the
// command line (automatic unless asked). Silent unless --verbose; exit status 0 on success, 1 with
// one line on standard error when a file fails, 2 with the usage on a wrong option.
#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <string>
#include <strings.h>

#include "convert/batch.h"
#include "editor/cmdline.h"
#include "editor/interface.h"
#include "files/audio_exp.h"
#include "files/engrave.h"
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
    KIND_AUDIO,
    KIND_ENGRAVED
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
    if (audio_format_of(path))
        return KIND_AUDIO;
    if (engrave_format_of(path))
        return KIND_ENGRAVED;
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

// One usage text for --help and for every usage error.
const char USAGE[] =
    "Usage: plinkel-convert [OPTION]... INPUT OUTPUT\n"
    "  or:  plinkel-convert [OPTION]... -o DIR --to FORMAT INPUT...\n"
    "Converts a score from INPUT to OUTPUT without a window; the file name extensions\n"
    "choose the formats. The second form converts every INPUT to DIR/NAME.FORMAT.\n"
    "\n"
    "Input formats:  .seq (plinkel score), .mid .midi (Standard MIDI File),\n"
    "                .musicxml .xml (MusicXML), .mxl (compressed MusicXML)\n"
    "Output formats: .seq, .mid .midi, .musicxml .xml, .ly (LilyPond),\n"
    "                .asm (PIC16 assembly table), .wav .flac .ogg .mp3 (audio through the\n"
    "                soundfont, at a loudness of -16 LUFS)\n"
    "\n"
    "Options:\n"
    "  --grid auto|exact|TICKS  the MIDI import: auto (the default) quantises for\n"
    "                 notation; exact keeps every time that is not a multiple of the\n"
    "                 editor's grid; TICKS is the exact rule on a grid of 3 to 768 ticks\n"
    "                 of 192 to the quarter, taken down to 3 x a power of two\n"
    "  --parts        with an engraved OUTPUT, one more file per shown track:\n"
    "                 song.pdf gives song-1-Violin.pdf ...\n"
    "  --verbose      report what the readers and writers do on standard output\n"
    "  -o, --output-dir DIR  write the converted files into DIR (batch conversion)\n"
    "  --to FORMAT    the output format of a batch: seq, mid, musicxml, ly, asm, wav,\n"
    "                 flac, ogg, mp3, pdf, png, svg\n"
    "  -j, --jobs N   files converted at once in a batch (default: the number of cores)\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "Silent on success except for warnings on standard error; a batch shows a progress\n"
    "bar on a terminal and ends with a summary line.\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written (one line on\n"
    "standard error says why; in a batch, when any file failed), 2 on a wrong option\n"
    "or argument.\n";

enum option_id {
    OPTION_HELP = 'h',
    OPTION_VERSION = 'V',
    OPTION_OUTPUT_DIR = 'o',
    OPTION_JOBS = 'j',
    OPTION_GRID = 256,
    OPTION_VERBOSE,
    OPTION_TO,
    OPTION_PARTS,
};

const char SHORT_OPTIONS[] = "hVo:j:";
const option LONG_OPTIONS[] = {
    {"help", no_argument, nullptr, OPTION_HELP},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {"grid", required_argument, nullptr, OPTION_GRID},
    {"verbose", no_argument, nullptr, OPTION_VERBOSE},
    {"output-dir", required_argument, nullptr, OPTION_OUTPUT_DIR},
    {"to", required_argument, nullptr, OPTION_TO},
    {"jobs", required_argument, nullptr, OPTION_JOBS},
    {"parts", no_argument, nullptr, OPTION_PARTS},
    {nullptr, 0, nullptr, 0},
};

struct options {
    const char *input;
    const char *output;
    int verbose;
    int parts; // an engraved output gets one file per shown track as well
    int atom;
    midi_grid_mode grid;
    const char *output_dir; // a batch: every input goes to output_dir/NAME.format
    const char *format;
    int jobs;
    char **inputs;
    int n_inputs;
};

// Complaint, then the usage, on standard error; the status of a usage error.
int usage_error(const char *fmt, const char *arg) {
    fail(fmt, arg);
    std::fputs(USAGE, stderr);
    return EXIT_STATUS_USAGE;
}

// The word getopt_long stopped at: a long option as written, a short one by its letter.
int unknown_option(const char *word) {
    char short_name[] = {'-', static_cast<char>(optopt), '\0'};
    bool is_long = word[0] == '-' && word[1] == '-';
    if (optopt == OPTION_GRID || (is_long && !std::strncmp(word, "--grid", 6)))
        return usage_error("%s needs auto, exact or a number of ticks", "--grid");
    if (optopt == OPTION_OUTPUT_DIR || optopt == OPTION_TO || optopt == OPTION_JOBS)
        return usage_error("%s needs a value", word);
    return usage_error("unknown option %s", is_long || !optopt ? word : short_name);
}

// CMDLINE_RUN when o holds what to convert; otherwise the exit status, with the help, the
// version or a usage error printed.
// The number of jobs of -j: 1 to MAX_JOBS; 0 for anything else.
constexpr long MAX_JOBS = 256;
int jobs_value(const char *text) {
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    return end != text && !*end && v >= 1 && v <= MAX_JOBS ? static_cast<int>(v) : 0;
}

// The operands: INPUT OUTPUT, or with an output directory the inputs of a batch.
int take_operands(int argc, char **argv, options *o) {
    if (o->output_dir) {
        if (!o->format)
            return usage_error("%s", "a batch (-o DIR) needs --to FORMAT");
        if (argc == optind)
            return usage_error("%s", "no INPUT given");
        o->inputs = argv + optind;
        o->n_inputs = argc - optind;
        return CMDLINE_RUN;
    }
    if (o->format)
        return usage_error("%s", "--to needs an output directory (-o DIR)");
    if (argc - optind > 2)
        return usage_error("unexpected argument %s", argv[optind + 2]);
    if (argc - optind < 2)
        return usage_error("%s", argc == optind ? "no INPUT and OUTPUT given" : "no OUTPUT given");
    o->input = argv[optind];
    o->output = argv[optind + 1];
    return CMDLINE_RUN;
}

int parse_args(int argc, char **argv, options *o) {
    o->input = o->output = nullptr;
    o->verbose = o->parts = 0;
    o->atom = midi_atom;
    o->grid = midi_grid;
    o->output_dir = o->format = nullptr;
    o->jobs = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    o->inputs = nullptr;
    o->n_inputs = 0;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, SHORT_OPTIONS, LONG_OPTIONS, nullptr)) != -1) {
        switch (c) {
        case OPTION_HELP:
            std::fputs(USAGE, stdout);
            return EXIT_STATUS_OK;
        case OPTION_VERSION:
            std::printf("plinkel-convert %s\n", plinkel_version);
            return EXIT_STATUS_OK;
        case OPTION_VERBOSE:
            o->verbose = 1;
            break;
        case OPTION_PARTS:
            o->parts = 1;
            break;
        case OPTION_OUTPUT_DIR:
            o->output_dir = optarg;
            break;
        case OPTION_TO:
            o->format = optarg;
            break;
        case OPTION_JOBS:
            if (!(o->jobs = jobs_value(optarg)))
                return usage_error("invalid number of jobs %s (1 to 256)", optarg);
            break;
        case OPTION_GRID:
            if (!std::strcmp(optarg, "auto") || !std::strcmp(optarg, "exact")) {
                o->grid = optarg[0] == 'a' ? MIDI_GRID_AUTO : MIDI_GRID_EXACT;
                break;
            }
            o->grid = MIDI_GRID_EXACT;
            if (!(o->atom = grid_atom(optarg)))
                return fail("invalid grid %s (auto, exact, or 3 to 768 ticks, taken down to 3 x a "
                            "power of two)",
                            optarg);
            break;
        default:
            return unknown_option(argv[optind - 1]);
        }
    }
    return take_operands(argc, argv, o);
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

// The engraved score, then with --parts one file per shown track beside it.
int write_engraved_output(const options &o) {
    return engrave_all(engrave_jobs(o.output, o.parts), &g_score, engrave_format_of(o.output),
                       copy_result);
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
        setup_engraved_score(o.output);
        return write_lilypond(o.output, &g_score);
    case KIND_ENGRAVED:
        return write_engraved_output(o);
    case KIND_ASM:
        return write_pic16(o.output, &g_score);
    case KIND_AUDIO:
        return write_audio(o.output, &g_score);
    default:
        return write_midi_output(o.output);
    }
}

int convert(const options &o) {
    file_kind in = kind_of(o.input), out = kind_of(o.output);
    if (in == KIND_NONE || in == KIND_LY || in == KIND_ASM || in == KIND_AUDIO ||
        in == KIND_ENGRAVED)
        return fail("%s: unknown input type (use .seq, .mid, .musicxml or .mxl)", o.input);
    if (out == KIND_NONE || out == KIND_MXL)
        return fail("%s: unknown output type (use .seq, .mid, .musicxml, .ly, .asm, .wav, .flac, "
                    ".ogg, .mp3, .pdf, .png or .svg)",
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

int convert_files(const options &o) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return fail("%s", "the Allegro library cannot be started");
    file_trace_on = o.verbose;
    file_message_hook = remember_message;
    return convert(o);
}

options batch_options; // what every child of a batch converts with

int convert_batch_job(const batch_job &job) {
    options o = batch_options;
    o.input = job.input.c_str();
    o.output = job.output.c_str();
    return convert_files(o);
}

// The batch form: the jobs are checked first (the directory exists, the format is one the
// converter writes, no two inputs share an output), then converted.
int convert_batch(const options &o) {
    struct stat dir;
    if (stat(o.output_dir, &dir) != 0 || !S_ISDIR(dir.st_mode))
        return fail("%s: not a directory", o.output_dir);
    std::string probe = std::string("x.") + o.format;
    file_kind out = kind_of(probe.c_str());
    if (out == KIND_NONE || out == KIND_MXL)
        return usage_error("unknown output format %s (use seq, mid, musicxml, ly, asm, wav, flac, "
                           "ogg, mp3, pdf, png "
                           "or svg)",
                           o.format);
    std::vector<batch_job> jobs;
    std::set<std::string> outputs;
    for (int i = 0; i < o.n_inputs; i++) {
        jobs.push_back({o.inputs[i], batch_output_name(o.output_dir, o.inputs[i], o.format)});
        if (!outputs.insert(jobs.back().output).second)
            return usage_error("%s would be written twice", jobs.back().output.c_str());
    }
    batch_options = o;
    return run_batch(jobs, o.jobs, convert_batch_job);
}

} // namespace

int main(int argc, char **argv) {
    options o;
    int status = parse_args(argc, argv, &o);
    if (status != CMDLINE_RUN)
        return status;
    return o.output_dir ? convert_batch(o) : convert_files(o);
}
END_OF_MAIN()
