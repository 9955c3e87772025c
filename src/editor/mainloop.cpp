// The turn of the main loop and the input events it waits for: keys go to the binding table,
// the left button to note entry and the listening strip, the wheel to scrolling.
#include "editor/mainloop.h"

#include <algorithm>
#include <cstdlib>

#include <allegro.h>

#include "editor/autosave.h"
#include "base/clock.h"
#include "editor/cursor.h"
#include "editor/edit.h"
#include "editor/interface.h"
#include "editor/hooks.h"
#include "editor/keys.h"
#include "editor/note_input.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "playback/midi_in.h"
#include "playback/midi_ports.h"
#include "render/draw.h"

int keyboard_tick = 0;

namespace {

constexpr int POLL_SLEEP_MS = 2;
constexpr int POINTER_WAKE_DISTANCE = 20; // pixels the mouse must move to show the pointer

// Set while the main loop itself waits for input (the tempo editor waits through get_event
// too): only then is the editor at rest, with the score whole and no dialog or drag running.
int main_wait = 0;
int leave_now = 0;

// The main loop's wait: keeps the recovery copy meanwhile; a terminating signal ends the wait
// and the loop.
int wait_main_event() {
    main_wait = 1;
    int event = get_event();
    main_wait = 0;
    return event;
}

int idle_says_leave() {
    if (main_wait && !leave_now)
        leave_now = autosave_idle();
    return leave_now;
}

void show_pointer() {
    mouse_visible = 1;
    show_mouse(screen);
}

void wait_button_release(int button) {
    while (mouse_b & button) {
        rest(POLL_SLEEP_MS);
        poll_mouse();
    }
}

// Insert mode: the listening strip on the status panel, note entry and dragging below it. In
// select mode a click only brings the pointer back; it is waited out so that holding the
// button does not redraw the picture again and again.
void process_left_button() {
    if (!mouse_visible)
        show_pointer();
    if (!edit_mode) {
        if (note_input_active() && cursor.y > panel_height)
            note_input_click(&g_score, cursor.x, cursor.y);
        wait_button_release(1);
        return;
    }
    if (cursor.y <= panel_height) {
        play_listening_strip(&g_score);
        return;
    }
    bool in_mode = note_input_active();
    if (in_mode)
        note_input_click(&g_score, cursor.x, cursor.y);
    if (edit_note_at_pointer(&g_score, cursor.x, cursor.y) && in_mode)
        note_input_click_entered(&g_score);
}

// Esc that closed a menu, dialog or file selector must not also end the editor.
void wait_escape_release() {
    poll_keyboard();
    while (key[KEY_ESC]) {
        rest(POLL_SLEEP_MS);
        poll_keyboard();
    }
}

// Brings the pointer back and opens the menu at it; the menu runs its own loop until closed.
void process_right_button() {
    if (!mouse_visible)
        show_pointer();
    const editor_hooks &hooks = installed_editor_hooks();
    if (!hooks.pop_up_menu) {
        wait_button_release(2);
        return;
    }
    if (hooks.before_menu)
        hooks.before_menu();
    do_menu(hooks.pop_up_menu, cursor.x, cursor.y);
    wait_escape_release();
}

void process_event(int event) {
    switch (event) {
    case INPUT_KEY:
        process_key_event();
        break;
    case INPUT_LEFT_BUTTON:
        process_left_button();
        break;
    case INPUT_RIGHT_BUTTON:
        process_right_button();
        break;
    case INPUT_WHEEL:
        process_wheel(mouse_z);
        break;
    case INPUT_MIDI_CHORD:
        deliver_midi_in_chords();
        break;
    }
}

int wants_exit() {
    const editor_hooks &hooks = installed_editor_hooks();
    int chosen = hooks.exit_chosen && hooks.exit_chosen();
    if (!key[KEY_ESC] && !chosen)
        return 0;
    return hooks.confirm_exit ? hooks.confirm_exit() : 1;
}

} // namespace

void waite_key_up() {
    get_time2(&keyboard_tick, 1);
    clear_keybuf();
}

int get_event() {
    if (mouse_visible)
        show_mouse(screen);
    // Keys typed in note input mode while the picture was drawn are notes: they stay.
    if (!note_input_active())
        clear_keybuf();
    poll_mouse();
    poll_keyboard();
    int x0 = mouse_x, y0 = mouse_y;
    position_mouse_z(0);
    for (;;) {
        if (idle_says_leave())
            return INPUT_LEAVE;
        if (keypressed()) {
            get_time2(&keyboard_tick, 1);
            return INPUT_KEY;
        }
        if (mouse_b & 1)
            return INPUT_LEFT_BUTTON;
        if (mouse_b & 2)
            return INPUT_RIGHT_BUTTON;
        if (mouse_z != 0)
            return INPUT_WHEEL;
        if (poll_midi_in())
            return INPUT_MIDI_CHORD;
        if (!mouse_visible &&
            std::abs(x0 - mouse_x) + std::abs(y0 - mouse_y) > POINTER_WAKE_DISTANCE) {
            show_pointer();
            x0 = mouse_x;
            y0 = mouse_y;
        }
        note_input_idle();
        rest(POLL_SLEEP_MS);
        poll_keyboard();
        poll_mouse();
    }
}

void process_wheel(int dz) {
    if (dz > 0) {
        if (shift_held())
            process_shift_left_right_key(&g_score, 0);
        else
            offset_y = std::max(offset_y - SCROLL_PAGE_STEP, min_offset_y());
    } else if (dz < 0) {
        if (shift_held())
            process_shift_left_right_key(&g_score, 1);
        else
            offset_y += SCROLL_PAGE_STEP;
    }
    mouse_visible = 0;
}

int main_loop_turn() {
    draw_all(current_view());
    show_mouse(nullptr);
    _blit();
    int event = wait_main_event();
    if (event == INPUT_LEAVE)
        return 0;
    set_coord(&cursor, mouse_x, mouse_y);
    process_event(event);
    return !wants_exit();
}

void main_loop() {
    while (main_loop_turn())
        ;
}
