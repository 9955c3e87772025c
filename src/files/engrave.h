// Engraving through LilyPond: the score's LilyPond source compiled by the lilypond program into
// a PDF (or a PNG or SVG picture of the score) in a private scratch directory, then copied to
// the chosen name; the paper size of the environment; one PDF per shown track for the parts.
#pragma once

#include <string>
#include <vector>

#include "files/lilypond.h"
#include "model/score.h"

enum engrave_format { ENGRAVE_NONE, ENGRAVE_PDF, ENGRAVE_PNG, ENGRAVE_SVG };

// The format a file name asks for by its extension (.pdf, .png, .svg), else ENGRAVE_NONE.
engrave_format engrave_format_of(const char *path);

// Called about ten times a second while LilyPond runs, with the seconds since it started;
// returning 0 cancels the engraving. Null: wait without asking.
typedef int (*engrave_progress_fn)(double seconds);
extern engrave_progress_fn engrave_progress_hook;

// The paper size LilyPond is to use: $PAPERSIZE, else the first word of /etc/papersize (or of
// the file $PAPERCONF names), else "a4"; only a plain name of letters and digits is taken.
std::string environment_paper_size();

// 1 when an executable of that name is on PATH.
int program_on_path(const char *name);
// 1 when the lilypond program is found on PATH; otherwise tells through file_message what to
// install and returns 0.
int lilypond_ready();

// One file of an engraving: where it goes and what its source says (title, part).
struct engrave_job {
    std::string path;
    lilypond_setup setup;
};
// The score written to score_path and, with parts, one job per shown track beside it.
std::vector<engrave_job> engrave_jobs(const char *score_path, int parts);

// Puts a finished result (a file in the scratch directory) at path; 1 when done.
typedef int (*engrave_place_fn)(const char *result, const char *path);
// The placing of plain writes: a copy under a temporary name renamed into place.
int copy_result(const char *result, const char *path);

// Engraves s once per job in a single run of LilyPond, then places every result in job order.
// Returns 1; or 0, told through file_message, when LilyPond is missing, fails or is cancelled
// (nothing is placed then) or a placing fails (later ones are not tried).
int engrave_all(const std::vector<engrave_job> &jobs, score *s, engrave_format format,
                engrave_place_fn place);

// Engraves s in format and writes the result to path (under a temporary name, renamed into
// place when complete). The title and part come from ly_setup. Returns 1; or 0, told through
// file_message, when LilyPond is missing, fails or is cancelled: path is then untouched.
int write_engraved(const char *path, score *s, engrave_format format);
// write_engraved with the format of path's extension, PDF when it names none (a writer for
// write_with_backup, which hands over a temporary name).
int write_pdf(const char *path, score *s);

// Sets ly_setup for the whole score written to path: the title is the file's name without its
// directory and extension, the paper the environment's, every shown track is engraved.
void setup_engraved_score(const char *path);
// Sets ly_setup for the part of track beside the score written to score_path: the same title,
// the instrument as the subtitle, that track alone.
void setup_engraved_part(const char *score_path, int track);

// The name of the part of track beside the score's PDF: "song.pdf", part 1 of a violin gives
// "song-1-Violin.pdf" (the number counts the shown tracks, the name is the instrument's, with
// every character but letters and digits as '_').
std::string part_path(const char *score_path, int number, int track);
