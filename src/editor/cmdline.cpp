// The editor's command line, read with the C library's getopt_long: --help and --version end
// the program at once, a wrong option or a second file is a usage error.
#include "editor/cmdline.h"

#include <getopt.h>

const char plinkel_version[] = PLINKEL_VERSION;

namespace {

const char USAGE[] =
    "Usage: plinkel [OPTION]... [FILE]\n"
    "A music score editor: staff notation on several tracks, played through MIDI.\n"
    "\n"
    "FILE, opened at start, is a plinkel score (.seq), a Standard MIDI File (.mid, .midi)\n"
    "or MusicXML (.musicxml, .xml, .mxl); without FILE the editor asks for the settings\n"
    "of a new score.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "The working directory holds plinkel.cfg (colour depth, window size, full screen and\n"
    "the last directory; without it the window fits the desktop) and screenshot.bmp (F12).\n"
    "The library's allegro.cfg chooses the sound drivers. See plinkel(1).\n"
    "\n"
    "Exit status: 0 after an orderly exit, 1 when the editor cannot start,\n"
    "2 on a wrong option.\n";

const char SHORT_OPTIONS[] = "hV";
enum { OPTION_HELP = 'h', OPTION_VERSION = 'V' };
const option LONG_OPTIONS[] = {
    {"help", no_argument, nullptr, OPTION_HELP},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

int usage_error(FILE *err, const char *what, const char *arg) {
    std::fprintf(err, "plinkel: %s%s\n%s", what, arg, USAGE);
    return EXIT_STATUS_USAGE;
}

// getopt_long names the option in optopt for a short one; a long one is the word just read.
int unknown_option(FILE *err, const char *word) {
    char short_name[] = {'-', static_cast<char>(optopt), '\0'};
    bool is_long = word[0] == '-' && word[1] == '-';
    return usage_error(err, "unknown option ", is_long || !optopt ? word : short_name);
}

} // namespace

int editor_command_line(int argc, char **argv, const char **file, FILE *out, FILE *err) {
    *file = nullptr;
    opterr = 0;
    optind = 0; // a full restart of getopt, so that the command line may be read again
    int c;
    while ((c = getopt_long(argc, argv, SHORT_OPTIONS, LONG_OPTIONS, nullptr)) != -1) {
        if (c == OPTION_HELP) {
            std::fputs(USAGE, out);
            return EXIT_STATUS_OK;
        }
        if (c == OPTION_VERSION) {
            std::fprintf(out, "plinkel %s\n", plinkel_version);
            return EXIT_STATUS_OK;
        }
        return unknown_option(err, argv[optind - 1]);
    }
    if (argc - optind > 1)
        return usage_error(err, "more than one file: ", argv[optind + 1]);
    if (optind < argc)
        *file = argv[optind];
    return CMDLINE_RUN;
}
