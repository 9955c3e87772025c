// The editor's own score file, ".seq": a line-oriented text file holding the starting tempo, the
// track table and every measure with the first piece of each note (a staccato one marked) and
// its tempo events.
// writefile stores the open score; readfile loads a file into a freshly initialised score.
#pragma once

#include <string>

#include "files/file_support.h"
#include "model/score.h"

constexpr int SEQ_VERSION = 25;         // written in the "vudiz" line
constexpr int SEQ_OLDEST_VERSION = 24;  // older files are refused
constexpr int SEQ_LINE_SIZE = 128;      // one read of a line: at most 126 characters
constexpr int SEQ_KEYWORD_SIZE = 64;    // a first word this long or longer skips its line
constexpr int SEQ_MAX_NOTE_LEN = 32767; // a note's whole length must fit its 16-bit field
constexpr int SEQ_MAX_KEY = 7;          // key signatures hold at most seven sharps or flats
constexpr int SEQ_MAX_STAFF_POS = 128;  // staff positions beyond this cannot be spelled

// Writes the score to path (under a temporary name, renamed into place when complete).
// Returns 1, or 0 when the file cannot be created or written; an existing file is then untouched.
int writefile(const char *path, score *s);
// Appends the lines of a .seq file for s to out.
void seq_text(score *s, std::string *out);

// Reads path into s, which must hold exactly the one empty measure init_new_score gives it.
// Returns 1 on success: the measures read replace that measure, the starting tempo and the
// track table are set, notes are split at bar lines and every measure is validated.
// Returns 0, with s, the track table and the starting tempo as they were, when the file cannot
// be opened or cannot be trusted: an old version ("old seq file ver(%d)"), or a line that is
// out of order or out of range, reported through file_message with the file and line number.
int readfile(const char *path, score *s);
