// The editor's command line: --help, --version, the one optional file to open, and the usage
// text with the exit statuses, printed before the library or any display is touched.
#pragma once

#include <cstdio>

// Exit statuses shared by plinkel and plinkel-convert.
constexpr int EXIT_STATUS_OK = 0;
constexpr int EXIT_STATUS_FAILURE = 1;
constexpr int EXIT_STATUS_USAGE = 2;

// The editor is to start (file stays null when none is named).
constexpr int CMDLINE_RUN = -1;

// The version of this build, as the build system names it.
extern const char plinkel_version[];

// Reads the options and the file. Returns CMDLINE_RUN with *file set, or the exit status after
// printing the help or the version to out, or a complaint and the usage to err.
int editor_command_line(int argc, char **argv, const char **file, FILE *out, FILE *err);
