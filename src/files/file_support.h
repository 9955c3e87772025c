// What every reader and writer of score files shares: the seam through which they tell the
// user about a refused file, the switch for diagnostic traces, the size limits of what a reader
// accepts, output written under a temporary name and renamed into place only when complete, and
// library packfiles over plain stdio files.
#pragma once

#include <allegro.h>
#include <cstdint>
#include <cstdio>

#include "model/score.h"

// User messages (a refused file, an old file version, a track that cannot be exported). The
// editor points file_message_hook at a function that shows an alert; tools without a screen
// point it at one that prints to standard error, which is also what the null default does.
// The text is one line without a trailing newline.
typedef void (*file_message_fn)(const char *text);
extern file_message_fn file_message_hook;
void file_message(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Diagnostic traces ("read succeeded.", "track:%d loaded." ...) go to standard output while
// file_trace_on is non-zero (the default); the command-line converter clears it unless asked.
extern int file_trace_on;
void file_trace(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// What a reader accepts. Every file is loaded or refused in time and memory that grow with its
// size up to these ceilings; a file that needs more is refused with a message naming the file
// and the limit, and the open score stays as it was.
constexpr long SCORE_FILE_MAX_BYTES = 16L << 20; // larger files are refused unread
constexpr int SCORE_MAX_MEASURES = 20000;
constexpr int64_t SCORE_MAX_PIECES = 1000000; // notes once split at bar lines into notatable pieces
constexpr int SCORE_MAX_EVENTS = 1000000;     // tempo events

// 1 when the open file fp is at most SCORE_FILE_MAX_BYTES long; otherwise refuses path and
// gives 0.
int file_size_acceptable(const char *path, FILE *fp);
// 1 when the whole notes and events of the measures from first on, once split, stay within the
// measure, piece and event limits; otherwise refuses path and gives 0. Costs at most
// SCORE_MAX_PIECES steps beyond one walk over the elements.
int score_size_acceptable(const char *path, measure *first);

// What a reader has staged, handed to s at once when the whole file was accepted: the measures
// replace s's own, the starting tempo and the first track_count records of the track table are
// set (the others as staged), the notes are split at bar lines and every measure is validated.
void commit_read_score(score *s, measure_list staged, int tempo, int track_count,
                       const track_info_t *tracks);
// Checks the invariants of a score just read (not g_score yet, so against its own track table);
// what names the reading in the failure message, as check_score takes it.
void check_read_score(score *s, const char *what);

// An output file in the making: written at tmp_path beside final_path, then renamed over it.
constexpr int OUTPUT_PATH_SIZE = 4096;
struct output_file {
    char final_path[OUTPUT_PATH_SIZE];
    char tmp_path[OUTPUT_PATH_SIZE];
    FILE *fp;
};

// Creates a fresh temporary file in the directory of path, opened for binary writing with the
// permissions a new file would get. Returns 1, or 0 when it cannot be created.
int open_output(output_file *out, const char *path);
// Closes the file; when ok is non-zero and every write and the close succeeded, renames it over
// the final path and returns 1. Otherwise removes the temporary file and returns 0.
int finish_output(output_file *out, int ok);
// Makes a rename or removal in the directory of path durable (best effort).
void sync_directory_of(const char *path);

// A library packfile over a stdio stream, so that names holding '#' (which pack_fopen would take
// for an object inside a datafile) open like any other. Closing the packfile closes fp only
// when owns_fp is non-zero. Null when fp is null.
PACKFILE *pack_from_stdio(FILE *fp, int owns_fp);
// Opens path with fopen(mode) and wraps it; null when the file cannot be opened.
PACKFILE *pack_open_path(const char *path, const char *mode);
