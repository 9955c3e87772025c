// The file commands of the menu: new, open, write, MIDI import and export and the further
// export formats, the question whether to save a changed score, and the names they propose.
// Every output format is one row of file_writers; the write steps are the same for all.
#pragma once

#include <cstddef>

#include "files/backup.h"

constexpr int PATH_SIZE = 1024;
constexpr int SELECTOR_MAX_PATH = 511;

extern char path[PATH_SIZE];        // the file selector's buffer: proposed, then chosen name
extern char backup_path[PATH_SIZE]; // the backup name of the file being written

// One output format.
struct file_writer {
    const char *ext;            // the extension change_ext gives the proposed name, ".seq"
    const char *title;          // the file selector's title
    const char *filter;         // the file selector's extension filter
    const char *backup_pattern; // the backup name, %s standing for the chosen name
    score_writer writer;
    int clears_edited;     // a successful write makes the score count as saved
    const char *menu_text; // an entry of its own at the end of the file menu, or null
};

enum file_format {
    FORMAT_SEQ,
    FORMAT_MIDI,
    FORMAT_LILYPOND,
    FORMAT_PIC16,
    FORMAT_AUDIO,
    FORMAT_MUSICXML,
    FORMAT_PDF,
    FORMAT_PDF_PARTS,
    FILE_FORMATS
};
extern const file_writer file_writers[FILE_FORMATS];

// Copies src into buf (size bytes) with its extension replaced by ext, or ext appended when it
// has none; the first character never counts as the start of an extension. Returns buf.
char *change_ext(const char *src, const char *ext, char *buf, size_t size);

// Asks "Score changed.Save?" when the score changed. 1: go on (saved, or not to be saved);
// 0: stop (cancelled, or the save did not happen).
int go_save();

// The write steps for one format: propose filename with the format's extension, show the
// selector when ask is set, ask before overwriting another file, write safely with a backup,
// and take the new name. 0 when cancelled or not written.
int write_score_as(const file_writer *w, int ask);
int write_midi_file_as(int ask);
// The entry of a format row in the file menu (the row is the menu item's dp).
int menu_write_format();

int menu_new();
int menu_open_file();
int menu_open_midi_file();
int menu_open_musicxml_file();
int menu_write_file();
int menu_write_midi_file_as();
int menu_write_midi_file();
int menu_write_lilypond();
int menu_write_pic16();

// Reads a file into a fresh score with read (readfile or midi_import). On success it replaces
// g_score and becomes filename, and the score counts as saved; otherwise the score, filename
// and edited stay as they were, and the user has been told why. Returns 1 or 0.
typedef int (*score_reader)(const char *path, score *s);
int load_score(const char *file, score_reader read);
// The file named on the command line: a MIDI file (.mid, .midi) is imported with the current
// grid, a MusicXML file (.musicxml, .xml, .mxl) is read as such, anything else as a .seq file.
int open_start_file(const char *file);

// Reader and writer messages are shown as alerts from here on.
void install_file_messages();
