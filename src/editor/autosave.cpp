// The recovery copy of the open score. The schedule is plain arithmetic over the clock and the
// history's edit counter; the copy's text is made only in the main loop's wait, where the score
// is whole, and a thread of its own writes it to disk. Signal handlers only set a flag; the X I/O
// error handler (which must not return) hands the write to the main thread when it can and ends the
// process.
#include "editor/autosave.h"

#include <X11/Xlib.h>
#include <allegro.h>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#include "base/clock.h"
#include "editor/state.h"
#include "files/file_support.h"
#include "files/recovery.h"
#include "model/undo.h"

namespace {

constexpr int MS_PER_S = 1000;
constexpr int REASON_SIZE = 256;
// How long the thread that met a lost display waits for the main thread to write the copy.
constexpr int DISPLAY_HANDOVER_STEPS = 200;
constexpr long DISPLAY_HANDOVER_STEP_NS = 10 * 1000 * 1000;
constexpr int DISPLAY_LOST_STATUS = 1;

autosave_schedule schedule;
char dir[OUTPUT_PATH_SIZE];
int have_dir = 0;
recovery_owner self;
std::string copy_path; // the copy this editor keeps, "" when none
std::string adopted;   // a recovered copy to remove once this editor's own is written
int write_failing = 0; // the last attempt failed (reported once until one succeeds)
int leaving_by_signal = 0;
volatile sig_atomic_t pending_signal = 0;
std::atomic<int> display_lost{0};
std::atomic<int> display_claimed{0};
pthread_t main_thread;

int unsaved() {
    return edited || !undo_at_saved();
}

void remove_file(std::string *p) {
    if (p->empty())
        return;
    std::remove(p->c_str());
    sync_directory_of(p->c_str());
    p->clear();
}

void wait_writer();

// Nothing unsaved is left: neither this editor's copy nor a recovered one is needed.
void remove_copy() {
    wait_writer();
    remove_file(&copy_path);
    remove_file(&adopted);
}

void report_failure(const std::string &target, const char *why) {
    if (!write_failing)
        std::fprintf(stderr, "plinkel: cannot write the recovery copy %s: %s\n", target.c_str(),
                     why);
    write_failing = 1;
}

// The copy is complete under target: the copy of an earlier name (before a "write" under
// another name) and a recovered copy are no longer needed.
void copy_written(const std::string &target) {
    write_failing = 0;
    if (!copy_path.empty() && copy_path != target)
        std::remove(copy_path.c_str());
    copy_path = target;
    if (!adopted.empty() && adopted != target)
        std::remove(adopted.c_str());
    adopted.clear();
}

// The copy's name follows the score's current file name. 0 when there is nowhere to write.
int copy_target(std::string *name, std::string *target) {
    if (!have_dir || !make_recovery_dir(dir)) {
        report_failure(dir, "no state directory");
        return 0;
    }
    *name = absolute_score_name(filename);
    *target = recovery_copy_path(dir, name->c_str(), self);
    return 1;
}

// The writer thread: the main loop makes the text of a copy (the score is its own), the
// thread writes, syncs and renames it, so that the disk never holds up input.
struct writer_state {
    std::mutex lock;
    std::condition_variable changed;
    std::thread thread;
    int queued = 0, busy = 0, done = 0, ok = 0;
    std::string target, text;
    char why[REASON_SIZE] = "";
};
// Never destroyed: the thread waits on it until the process ends.
writer_state &writer = *new writer_state;

void writer_main() {
    std::unique_lock<std::mutex> held(writer.lock);
    for (;;) {
        writer.changed.wait(held, [] { return writer.queued; });
        std::string target = writer.target, text;
        text.swap(writer.text);
        writer.queued = 0;
        writer.busy = 1;
        held.unlock();
        char why[REASON_SIZE];
        int ok = write_recovery_text(target.c_str(), text, why, sizeof why);
        held.lock();
        writer.busy = 0;
        writer.done = 1;
        writer.ok = ok;
        std::memcpy(writer.why, why, sizeof why);
        writer.changed.notify_all();
    }
}

// Takes the outcome of the writer's last copy, if there is one new; writer.lock is held.
void take_written() {
    if (!writer.done)
        return;
    writer.done = 0;
    if (writer.ok) {
        copy_written(writer.target);
    } else {
        report_failure(writer.target, writer.why);
        schedule_written(&schedule, get_tick(), 0);
    }
}

int writer_idle() {
    std::unique_lock<std::mutex> held(writer.lock);
    take_written();
    return !writer.queued && !writer.busy;
}

void wait_writer() {
    std::unique_lock<std::mutex> held(writer.lock);
    writer.changed.wait(held, [] { return !writer.queued && !writer.busy; });
    take_written();
}

void hand_to_writer() {
    std::string name, target;
    if (!copy_target(&name, &target)) {
        schedule_written(&schedule, get_tick(), 0);
        return;
    }
    std::string text = recovery_text(name.c_str(), self, &g_score);
    std::unique_lock<std::mutex> held(writer.lock);
    if (!writer.thread.joinable()) {
        writer.thread = std::thread(writer_main);
        writer.thread.detach();
    }
    writer.target = target;
    writer.text.swap(text);
    writer.queued = 1;
    writer.changed.notify_all();
    schedule_written(&schedule, get_tick(), 1);
}

// Writes the copy on the calling thread, after any copy the writer has in hand.
int write_copy() {
    wait_writer();
    std::string name, target;
    if (!copy_target(&name, &target))
        return 0;
    char why[REASON_SIZE];
    if (!write_recovery_copy(target.c_str(), name.c_str(), self, &g_score, why, sizeof why)) {
        report_failure(target, why);
        return 0;
    }
    copy_written(target);
    return 1;
}

void on_terminate(int sig) {
    autosave_note_signal(sig);
}

void take_signal(int sig) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_terminate;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
}

// The library's GUI reads the mouse buttons through gui_mouse_b over and over while a menu, a
// dialog, an alert or the file selector is open. After a terminating signal each such loop is
// closed as by Esc, one at a time, so that the main loop gets back to its wait and ends there.
int gui_buttons_closing_on_signal() {
    if (pending_signal && !keypressed())
        simulate_keypress((KEY_ESC << 8) | 27);
    if (mouse_needs_poll())
        poll_mouse();
    return mouse_b;
}

[[noreturn]] void leave_for_lost_display() {
    if (display_claimed.exchange(1)) {
        for (;;)
            pause();
    }
    if (schedule.interval_ms && unsaved() && write_copy())
        std::fprintf(stderr, "plinkel: the X display went away; unsaved changes are in %s\n",
                     copy_path.c_str());
    else
        std::fprintf(stderr, "plinkel: the X display went away\n");
    _exit(DISPLAY_LOST_STATUS);
}

// Xlib ends the process when this returns, and the library's exit handlers would then talk to
// the display that is gone (a hang or a crash): it never returns. The library's input thread
// usually meets the error first; it leaves the write to the main thread, which then waits at
// rest in the main loop with the score whole, and writes itself only if the main thread is
// stuck elsewhere.
int on_display_lost(Display *) {
    display_lost = 1;
    if (!pthread_equal(pthread_self(), main_thread)) {
        struct timespec step = {0, DISPLAY_HANDOVER_STEP_NS};
        for (int i = 0; i < DISPLAY_HANDOVER_STEPS && !display_claimed; i++)
            nanosleep(&step, nullptr);
    }
    leave_for_lost_display();
}

} // namespace

void schedule_init(autosave_schedule *s, int interval_s, int edit_limit, unsigned generation) {
    s->interval_ms = interval_s > 0 ? interval_s * MS_PER_S : 0;
    s->edit_limit = edit_limit > 0 ? edit_limit : 0;
    s->pending = 0;
    s->since = 0;
    s->edits = 0;
    s->dirty = 0;
    s->generation = generation;
}

void schedule_observe(autosave_schedule *s, int dirty, unsigned generation, int now) {
    unsigned fresh = generation - s->generation;
    int became_dirty = dirty && !s->dirty;
    s->generation = generation;
    s->dirty = dirty;
    if (!dirty) {
        s->pending = 0;
        s->edits = 0;
        return;
    }
    s->edits += static_cast<int>(fresh);
    if (!s->pending && (fresh || became_dirty)) {
        s->pending = 1;
        s->since = now;
    }
}

int schedule_due(const autosave_schedule *s, int now, int at_rest) {
    if (!at_rest || !s->interval_ms || !s->pending)
        return 0;
    return now - s->since >= s->interval_ms || (s->edit_limit && s->edits >= s->edit_limit);
}

void schedule_written(autosave_schedule *s, int now, int ok) {
    s->edits = 0;
    s->since = now;
    s->pending = !ok;
}

void autosave_start() {
    main_thread = pthread_self();
    copy_path.clear();
    adopted.clear();
    write_failing = leaving_by_signal = 0;
    pending_signal = 0;
    self = recovery_self();
    have_dir = recovery_dir(dir, sizeof dir);
    int interval = get_config_int("recovery", "interval", AUTOSAVE_DEFAULT_INTERVAL);
    int edits = get_config_int("recovery", "edits", AUTOSAVE_DEFAULT_EDITS);
    schedule_init(&schedule, interval, edits, undo_changes());
    take_signal(SIGTERM);
    take_signal(SIGHUP);
    gui_mouse_b = gui_buttons_closing_on_signal;
    XSetIOErrorHandler(on_display_lost);
}

int autosave_idle() {
    if (display_lost)
        leave_for_lost_display();
    int now = get_tick();
    int dirty = unsaved();
    schedule_observe(&schedule, dirty, undo_changes(), now);
    if (!dirty)
        remove_copy();
    if (pending_signal) {
        leaving_by_signal = 1;
        if (dirty && schedule.interval_ms)
            write_copy();
        return 1;
    }
    // The outcome of a copy in hand is taken first: a failed one is due again later.
    int idle = writer_idle();
    if (idle && schedule_due(&schedule, now, 1))
        hand_to_writer();
    return 0;
}

int autosave_write_now() {
    if (!schedule.interval_ms || !unsaved())
        return 0;
    int ok = write_copy();
    schedule_written(&schedule, get_tick(), ok);
    return ok;
}

const std::string &autosave_copy_path() {
    return copy_path;
}

void autosave_adopt(const char *old_copy) {
    adopted = old_copy;
    if (!schedule.interval_ms)
        return;
    schedule_observe(&schedule, unsaved(), undo_changes(), get_tick());
    autosave_write_now();
}

void autosave_wait() {
    wait_writer();
}

void autosave_finish() {
    wait_writer();
    if (!leaving_by_signal)
        remove_copy();
}

void autosave_note_signal(int sig) {
    pending_signal = sig;
}
