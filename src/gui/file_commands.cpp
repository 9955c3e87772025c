// File commands: the save question, the file selector, the overwrite question, safe writing
// with a backup for every output format, and loading into a fresh score that replaces the
// open one only when the whole file was read.
#include "gui/file_commands.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/interface.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "base/strutil.h"
#include "editor/test_signals.h"
#include "files/file_support.h"
#include "files/audio_exp.h"
#include "files/engrave.h"
#include "files/file_kind.h"
#include "files/fileio.h"
#include "files/lilypond.h"
#include "files/midi_exp.h"
#include "files/midi_imp.h"
#include "files/musicxml_read.h"
#include "files/musicxml_write.h"
#include "files/pic16.h"
#include "gui/alerts.h"
#include "gui/dialogs.h"
#include "gui/edit_commands.h"
#include "model/undo.h"

char path[PATH_SIZE];
char backup_path[PATH_SIZE];

namespace {

constexpr int REASON_SIZE = 256;
constexpr int EXT_SIZE = 16;
const char UNTITLED[] = "untitled";
// The extension of the last audio export, which the next one proposes.
char audio_ext[EXT_SIZE] = ".wav";
const char WARNING[] = "warning";

// The MIDI writer: render every track, refuse a file that would hold none.
int write_midi(const char *file, score *s) {
    MIDI *midi = makenew_midi();
    if (!midi)
        return 0;
    plinkel_midi_write_to_memory(s, s->measures.head, midi, 0);
    int ok = 0;
    if (midi_score_tracks(midi))
        ok = export_midi(midi, file);
    else
        errno = EFBIG;
    destroy_midi(midi);
    return ok;
}

// The audio writer: the format follows the name chosen in the selector, since the writer itself
// is handed a temporary name.
int write_chosen_audio(const char *file, score *s) {
    int format = audio_format_of(path);
    if (!format) {
        file_message("%s: unknown audio type (use %s).", path, AUDIO_EXTENSIONS);
        return 0;
    }
    return write_audio_format(file, s, format);
}

// Messages shown through the reader and writer seam, so that a failure the reader already
// explained is not reported twice.
int file_messages_shown = 0;

// The LilyPond writers take the title from the name chosen in the selector, since the writer
// itself is handed a temporary name.
int write_chosen_lilypond(const char *file, score *s) {
    setup_engraved_score(path);
    return write_lilypond(file, s);
}

// The PDF writers hand the score's result to the temporary name they are given; the parts
// go to their own names, each kept safe with a backup like the score.
const char *score_tmp = nullptr; // the temporary name of the score being written
const char *placed_result = nullptr;

int copy_placed_result(const char *file, score *) {
    return copy_result(placed_result, file);
}

int place_with_backup(const char *result, const char *file) {
    if (!std::strcmp(file, score_tmp))
        return copy_result(result, file);
    placed_result = result;
    char why[REASON_SIZE];
    int shown = file_messages_shown;
    if (write_with_backup(file, "%s.bak", copy_placed_result, nullptr, why, sizeof why))
        return 1;
    if (file_messages_shown == shown)
        file_problem("cannot write", file, why);
    return 0;
}

int write_pdfs(const char *file, score *s, int parts) {
    std::vector<engrave_job> jobs = engrave_jobs(path, parts);
    jobs[0].path = file;
    score_tmp = file;
    return engrave_all(jobs, s, ENGRAVE_PDF, place_with_backup);
}

int write_chosen_pdf(const char *file, score *s) {
    return write_pdfs(file, s, 0);
}

// The score, then one PDF per shown track beside it.
int write_chosen_pdf_parts(const char *file, score *s) {
    return write_pdfs(file, s, 1);
}

// The progress of an engraving over the picture; Esc cancels it.
int engraving_shown = 0;

int show_engraving(double seconds) {
    if (!engraving_shown) {
        engraving_shown = 1;
        test_signal("engraving", "open");
    }
    if (gfx_driver) {
        int w = text_length(font, "engraving with LilyPond: 000 s (Esc cancels)") +
                2 * text_height(font);
        int h = 3 * text_height(font);
        int x = (SCREEN_W - w) / 2, y = (SCREEN_H - h) / 2;
        rectfill(screen, x, y, x + w, y + h, makecol(255, 255, 255));
        rect(screen, x, y, x + w, y + h, makecol(0, 0, 0));
        textprintf_centre_ex(screen, font, SCREEN_W / 2, y + text_height(font), makecol(0, 0, 0),
                             -1, "engraving with LilyPond: %d s (Esc cancels)",
                             static_cast<int>(seconds));
    }
    if (keyboard_needs_poll())
        poll_keyboard();
    // Held now, or pressed and let go since the last look (a quick tap between two calls).
    bool escape = key[KEY_ESC];
    while (!escape && keypressed())
        escape = (readkey() >> 8) == KEY_ESC;
    if (!escape)
        return 1;
    clear_keybuf();
    return 0;
}

// After a PDF is written: the desktop's viewer opens it when one is there and the user wants.
// The viewer runs detached (a grandchild), so no child is left for the editor to reap.
void offer_to_open(const char *file) {
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display || !program_on_path("xdg-open"))
        return;
    if (alert("PDF written.", "Open it with the desktop's viewer?", " ", "Yes", "No", 0, 0) != 1)
        return;
    pid_t child = fork();
    if (child == 0) {
        setsid();
        if (fork() == 0)
            execlp("xdg-open", "xdg-open", file, static_cast<char *>(nullptr));
        _exit(0);
    }
    if (child > 0)
        waitpid(child, nullptr, 0);
}

void count_and_show(const char *text) {
    file_messages_shown++;
    file_message_alert(text);
}

// The library's file selector on path; 1 when a file was chosen.
int select_file(const char *title, const char *filter) {
    int w = gfx_driver ? SCREEN_W * 3 / 4 : 0;
    int h = gfx_driver ? SCREEN_H * 3 / 4 : 0;
    test_signal("selector", "open");
    int chosen = file_select_ex(title, path, filter, SELECTOR_MAX_PATH, w, h);
    test_signal("selector", "close");
    return chosen != 0;
}

// 1 when a and b name the same file, also when one is relative and the other not (the name
// given on the command line against the selector's full path).
int same_file(const char *a, const char *b) {
    struct stat sa, sb;
    if (!std::strcmp(a, b))
        return 1;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// 1 when path may be written: it is the open file, it does not exist, or the user agrees.
int may_overwrite() {
    if (same_file(path, filename) || !file_exist(path))
        return 1;
    return alert(WARNING, "File exists. Overwrite it?", " ", "Yes", "No", 0, 0) == 1;
}

enum save_answer { NOT_CHANGED, SAVED, DISCARDED, CANCELLED };

// The save question without its effect on edited: "No" leaves the score marked as changed
// until the caller has really replaced it.
save_answer ask_to_save() {
    if (!edited)
        return NOT_CHANGED;
    test_signal("alert", "open");
    int answer = alert3(WARNING, "Score changed.Save?", " ", "Yes", "No", "Cancel", 0, 0, 0);
    test_signal("alert", "close");
    switch (answer) {
    case 1:
        return menu_write_file() ? SAVED : CANCELLED;
    case 2:
        return DISCARDED;
    default:
        return CANCELLED;
    }
}

int readable(const char *file) {
    FILE *fp = std::fopen(file, "r");
    if (!fp) {
        file_problem("cannot read", file, std::strerror(errno));
        return 0;
    }
    std::fclose(fp);
    return 1;
}

// The reader for a file named on the command line, chosen by its extension: MIDI and MusicXML
// by theirs, anything else is taken for a .seq file.
score_reader reader_for_name(const char *file) {
    score_reader read = reader_of_kind(file_kind_of(file));
    return read ? read : readfile;
}

// The next audio export proposes the format of this one; a name without an extension (a dot
// in a folder's name is none) changes nothing.
void remember_audio_ext(const char *file) {
    const char *dot = path_extension(file);
    if (dot && std::strlen(dot) < sizeof audio_ext)
        str_n_cpy(audio_ext, dot, sizeof audio_ext);
}

// open and open midi after the save question: choose, read, replace.
int open_with(const char *ext, const char *title, const char *filter, score_reader read,
              int (*before_read)()) {
    if (ask_to_save() == CANCELLED)
        return 0;
    change_ext(filename, ext, path, sizeof path);
    if (!select_file(title, filter))
        return 0;
    if (before_read && !before_read())
        return 0;
    return load_score(path, read);
}

} // namespace

const file_writer file_writers[FILE_FORMATS] = {
    {".seq", "SAVE SEQ FILE", "seq", "%s.bak", writefile, 1, nullptr},
    {".mid", "SAVE MIDI FILE", "mid", "%s.bak", write_midi, 1, nullptr},
    {".ly", "SAVE SEQ FILE", "ly", "%s.ly.bak", write_chosen_lilypond, 1, "write lilypond"},
    {".asm", "SAVE asm FILE", "asm", "%s.asm.bak", write_pic16, 0, "write pic16"},
    {audio_ext, "SAVE AUDIO FILE", "wav;flac;ogg;mp3", "%s.bak", write_chosen_audio, 0,
     "write audio"},
    {".musicxml", "SAVE MUSICXML FILE", "musicxml;xml", "%s.bak", write_musicxml, 0,
     "write musicxml"},
    {".pdf", "SAVE PDF FILE", "pdf", "%s.bak", write_chosen_pdf, 0, "write pdf"},
    {".pdf", "SAVE PDF FILE", "pdf", "%s.bak", write_chosen_pdf_parts, 0, "write pdf parts"},
};

char *change_ext(const char *src, const char *ext, char *buf, size_t size) {
    str_n_cpy(buf, src, size);
    for (size_t i = std::strlen(buf); i >= 1; i--) {
        if (buf[i] == '/' || buf[i] == '\\')
            break;
        if (buf[i] == '.') {
            buf[i] = '\0';
            break;
        }
    }
    return str_n_cat(buf, ext, size);
}

int go_save() {
    save_answer answer = ask_to_save();
    if (answer == CANCELLED)
        return 0;
    if (answer == DISCARDED)
        edited = 0;
    return 1;
}

int write_score_as(const file_writer *w, int ask) {
    change_ext(filename, w->ext, path, sizeof path);
    if (ask && !select_file(w->title, w->filter))
        return 0;
    if (!may_overwrite())
        return 0;
    backup_name(w->backup_pattern, path, backup_path, sizeof backup_path);
    char why[REASON_SIZE];
    int shown = file_messages_shown;
    engraving_shown = 0;
    engrave_progress_hook = show_engraving;
    int written = write_with_backup(path, w->backup_pattern, w->writer, &g_score, why, sizeof why);
    engrave_progress_hook = nullptr;
    if (engraving_shown)
        test_signal("engraving", "close");
    if (!written) {
        if (file_messages_shown == shown)
            file_problem("cannot write", path, why);
        return 0;
    }
    if (w == &file_writers[FORMAT_PDF] || w == &file_writers[FORMAT_PDF_PARTS])
        offer_to_open(path);
    str_n_cpy(filename, path, FILENAME_SIZE);
    if (w == &file_writers[FORMAT_AUDIO])
        remember_audio_ext(path);
    if (w->clears_edited) {
        edited = 0;
        undo_mark_saved();
    }
    return 1;
}

int write_midi_file_as(int ask) {
    return write_score_as(&file_writers[FORMAT_MIDI], ask);
}

int menu_write_format() {
    return write_score_as(static_cast<const file_writer *>(active_menu->dp), 1);
}

int menu_write_file() {
    return write_score_as(&file_writers[FORMAT_SEQ], 1);
}
int menu_write_lilypond() {
    return write_score_as(&file_writers[FORMAT_LILYPOND], 1);
}
int menu_write_pic16() {
    return write_score_as(&file_writers[FORMAT_PIC16], 1);
}
int menu_write_midi_file_as() {
    return write_midi_file_as(1);
}
int menu_write_midi_file() {
    return write_midi_file_as(!std::strcmp(filename, UNTITLED));
}

int load_score(const char *file, score_reader read) {
    if (!readable(file))
        return 0;
    score fresh;
    init_new_score(&fresh);
    int shown = file_messages_shown;
    if (!read(file, &fresh)) {
        destroy_score(&fresh);
        if (file_messages_shown == shown)
            file_problem("cannot read", file, "the file is not a score plinkel can read");
        return 0;
    }
    forget_note_pointers();
    destroy_score(&g_score);
    g_score = fresh;
    show_new_score();
    str_n_cpy(filename, file, FILENAME_SIZE);
    undo_reset();
    edited = 0;
    return 1;
}

int menu_open_file() {
    return open_with(".seq", "OPEN SEQ FILE", "seq", readfile, nullptr);
}

int menu_open_midi_file() {
    return open_with(".mid", "OPEN MIDI FILE", "mid;MID;Mid", midi_import,
                     do_midi_resolution_dialog);
}

int menu_open_musicxml_file() {
    return open_with(".musicxml", "OPEN MUSICXML FILE", "musicxml;xml;mxl", read_musicxml, nullptr);
}

int menu_new() {
    if (!go_save())
        return 0;
    forget_note_pointers();
    destroy_score(&g_score);
    init_g_score();
    str_n_cpy(filename, UNTITLED, FILENAME_SIZE);
    new_setting();
    undo_reset();
    edited = 0;
    return 1;
}

int open_start_file(const char *file) {
    return load_score(file, reader_for_name(file));
}

void install_file_messages() {
    file_message_hook = count_and_show;
}
