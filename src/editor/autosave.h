// Keeping the recovery copy of the open score while it has unsaved changes: the schedule (time
// and edit count, only while the main loop waits for input), the signals that end the editor
// (SIGTERM, SIGHUP) and the loss of the X display, and the removal of the copy on a clean exit.
#pragma once

#include <string>

constexpr int AUTOSAVE_DEFAULT_INTERVAL = 30; // seconds; 0 switches the copies off
constexpr int AUTOSAVE_DEFAULT_EDITS = 50;    // edits that bring the next copy forward

// When the next copy is due. Times are milliseconds of the editor's clock.
struct autosave_schedule {
    int interval_ms;     // 0: no copies at all
    int edit_limit;      // 0: the edit count never brings a copy forward
    int pending;         // changes the copy does not hold yet
    int since;           // when the first of them was seen (or the last attempt failed)
    int edits;           // edits since the last copy
    int dirty;           // the score had unsaved changes when last seen
    unsigned generation; // the edit counter last seen
};

void schedule_init(autosave_schedule *s, int interval_s, int edit_limit, unsigned generation);
// What the editor looks like now: dirty when it has unsaved changes; generation counts edits.
void schedule_observe(autosave_schedule *s, int dirty, unsigned generation, int now);
// 1 when a copy should be written now; never while the editor is not at rest (a drag, a dialog,
// a menu or playback runs).
int schedule_due(const autosave_schedule *s, int now, int at_rest);
// The copy was written (ok) or could not be (tried again after a full interval).
void schedule_written(autosave_schedule *s, int now, int ok);

// Reads the [recovery] section of the library's configuration (interval = seconds, edits =
// count), finds the copy directory, and takes over SIGTERM, SIGHUP and X I/O errors. After such
// a signal, open menus and dialogs close as by Esc, so that the editor leaves from its wait.
void autosave_start();
// Called over and over while the main loop waits for input. Writes the copy when due, removes
// it when nothing unsaved is left, and answers a terminating signal: the copy is written and 1
// returned, the loop then ends. A lost display writes the copy and ends the process (status 1).
int autosave_idle();
// Writes the copy at once when the score has unsaved changes; 1 when it was written.
int autosave_write_now();
// Waits until the copy being written, if any, is on disk (or has failed).
void autosave_wait();
// The copy the editor keeps now ("" when none).
const std::string &autosave_copy_path();
// A recovered score: its old copy is replaced by this editor's own, then removed.
void autosave_adopt(const char *old_copy);
// At shut-down: a clean exit removes the copy, an exit asked by a signal keeps it.
void autosave_finish();

// The signal seam, for the handlers and tests: the number of the last terminating signal.
void autosave_note_signal(int sig);
