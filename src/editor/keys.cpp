// The key bindings of the main loop, tested in their fixed order against the keys held at the
// moment of the event, and the length keys: the digit row holds the plain lengths, the row
// below it the dotted lengths between neighbouring digits, the row below that the triplets.
#include "editor/keys.h"

#include <allegro.h>

#include "editor/cursor.h"
#include "editor/edit.h"
#include "render/glyphs.h"
#include "editor/history.h"
#include "editor/hooks.h"
#include "editor/interface.h"
#include "editor/mainloop.h"
#include "editor/note_input.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "editor/test_signals.h"
#include "model/play_view.h"
#include "model/seq.h"
#include "playback/sound.h"

const length_key length_key_table[LENGTH_KEYS] = {
    {KEY_1, 768}, {KEY_Q, 576}, {KEY_2, 384}, {KEY_W, 288}, {KEY_S, 256},
    {KEY_3, 192}, {KEY_E, 144}, {KEY_D, 128}, {KEY_4, 96},  {KEY_R, 72},
    {KEY_F, 64},  {KEY_5, 48},  {KEY_T, 36},  {KEY_G, 32},  {KEY_6, 24},
    {KEY_Y, 18},  {KEY_H, 16},  {KEY_7, 12},  {KEY_U, 9},   {KEY_J, 8},
    {KEY_8, 6},   {KEY_I, 9},   {KEY_K, 4},   {KEY_9, 3},   {KEY_0, 0},
};

int get_length_key_ticks(int i) {
    int ticks = length_key_table[i].ticks;
    return ticks ? ticks : user_defined_length;
}

int find_held_length_key() {
    for (int i = 0; i < LENGTH_KEYS; i++)
        if (key[length_key_table[i].scancode])
            return i;
    return -1;
}

int shift_held() {
    return key[KEY_LSHIFT] || key[KEY_RSHIFT];
}

namespace {

const char SCREENSHOT_FILE[] = "screenshot.bmp";

void run_command(key_command_id id) {
    if (key_command_fn command = installed_editor_hooks().key_commands[id])
        command();
}

void toggle_edit_mode() {
    edit_mode = !edit_mode;
}
void toggle_dot_mode() {
    dot_mode = !dot_mode;
}
// A failure to save is ignored: the picture is still on the screen.
void save_screenshot() {
    if (save_bitmap(SCREENSHOT_FILE, buf, the_palette) == 0)
        test_signal("wrote", SCREENSHOT_FILE);
}

int ctrl_held() {
    return key[KEY_LCONTROL] || key[KEY_RCONTROL];
}

// Ctrl with a length key (Ctrl+Y) is a command, not a length.
// In note input mode the length keys are read as typed keys, in their order with the letters.
void choose_length() {
    if (ctrl_held() || note_input_active())
        return;
    int i = find_held_length_key();
    if (i < 0)
        return;
    note_type = get_length_key_ticks(i);
    push_note_length(note_type);
}

void history_back() {
    note_length_history_back();
}
void history_forward() {
    note_length_history_forward();
}

void cursor_at_pointer() {
    set_cursor(&g_score, cursor.x, cursor.y);
}
void select_start() {
    cursor_at_pointer();
    run_command(CMD_SELECT_START);
}
void select_end() {
    cursor_at_pointer();
    run_command(CMD_SELECT_END);
}
void enter_cursor() {
    cursor_at_pointer();
    waite_key_up();
}

void help() {
    run_command(CMD_HELP);
}
void command_then_key_up(key_command_id id) {
    run_command(id);
    waite_key_up();
}
void play() {
    command_then_key_up(CMD_PLAY_SCORE);
}
void play_from_cursor() {
    command_then_key_up(CMD_PLAY_FROM_CURSOR);
}
// L runs playback round the selection or no longer; Ctrl+K switches the metronome.
void toggle_loop() {
    if (!ctrl_held())
        play_options.loop = !play_options.loop;
    waite_key_up();
}
void toggle_metronome() {
    if (!ctrl_held())
        return;
    play_options.metronome = !play_options.metronome;
    waite_key_up();
}
void stop() {
    command_then_key_up(CMD_PLAY_STOP);
}
void copy() {
    command_then_key_up(CMD_COPY);
}
void paste_solid() {
    command_then_key_up(CMD_PASTE_SOLID);
}
void paste_blend() {
    command_then_key_up(CMD_PASTE_BLEND);
}
void delete_solid() {
    command_then_key_up(CMD_DELETE_SOLID);
}
void delete_blend() {
    command_then_key_up(CMD_DELETE_BLEND);
}
void delete_measure() {
    command_then_key_up(CMD_DELETE_MEASURE);
}
// Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo.
void undo_key() {
    if (ctrl_held())
        command_then_key_up(shift_held() ? CMD_REDO : CMD_UNDO);
}
void redo_key() {
    if (ctrl_held())
        command_then_key_up(CMD_REDO);
}

int scroll_step() {
    return shift_held() ? SCROLL_PAGE_STEP : SCROLL_STEP;
}
void up() {
    scroll_up(scroll_step());
}
void down() {
    scroll_down(scroll_step());
}
void measure_back() {
    process_shift_left_right_key(&g_score, 0);
    mouse_visible = 0;
}
void measure_forward() {
    process_shift_left_right_key(&g_score, 1);
    mouse_visible = 0;
}
void left_right() {
    process_left_right_key(&g_score);
}

// Shift+. (the dot key) switches the staccato dot of the note under the pointer; in note input
// mode, of the chord just entered.
void staccato_at_pointer() {
    if (!note_input_active()) {
        command_then_key_up(CMD_STACCATO);
        return;
    }
    note_input_staccato(&g_score);
    waite_key_up();
}

void delete_note_at_pointer() {
    run_command(CMD_DELETE_NOTE);
    adjust_offset_x();
    waite_key_up();
}

// The length of the whole tied note under the pointer becomes the entry length and the 0 key's.
void pick_up_length() {
    note *n = nullptr;
    screen_score_find_note(&g_score, cursor.x, cursor.y, &n, 1);
    selected_note = n;
    if (n) {
        user_defined_length = note_type = n->total_len;
        push_note_length(note_type);
    }
    selected_note = nullptr;
}

enum shift_rule { ANY_SHIFT, WITH_SHIFT, NO_SHIFT };

// A binding fires when its key is held (scancode 0: always; the action tests its own keys),
// the Shift condition holds and neither of the excluding keys is held.
struct key_binding {
    int scancode;
    shift_rule shift;
    int unless_a;
    int unless_b;
    void (*action)();
};

const key_binding key_bindings[] = {
    {KEY_INSERT, ANY_SHIFT, 0, 0, toggle_edit_mode},
    {KEY_STOP, NO_SHIFT, 0, 0, toggle_dot_mode},
    {KEY_STOP, WITH_SHIFT, 0, 0, staccato_at_pointer},
    {KEY_F12, ANY_SHIFT, 0, 0, save_screenshot},
    {0, ANY_SHIFT, 0, 0, choose_length},
    {KEY_COLON, ANY_SHIFT, 0, 0, history_back},
    {KEY_QUOTE, ANY_SHIFT, KEY_COLON, 0, history_forward},
    {KEY_OPENBRACE, ANY_SHIFT, 0, 0, select_start},
    {KEY_CLOSEBRACE, ANY_SHIFT, KEY_OPENBRACE, 0, select_end},
    {KEY_ENTER, ANY_SHIFT, KEY_OPENBRACE, KEY_CLOSEBRACE, enter_cursor},
    {KEY_F1, ANY_SHIFT, 0, 0, help},
    {KEY_F5, ANY_SHIFT, 0, 0, play},
    {KEY_F6, ANY_SHIFT, 0, 0, play_from_cursor},
    {KEY_L, ANY_SHIFT, 0, 0, toggle_loop},
    {KEY_K, ANY_SHIFT, 0, 0, toggle_metronome},
    {KEY_F8, ANY_SHIFT, KEY_F6, 0, stop},
    {KEY_C, ANY_SHIFT, 0, 0, copy},
    {KEY_V, WITH_SHIFT, 0, 0, paste_solid},
    {KEY_V, NO_SHIFT, 0, 0, paste_blend},
    {KEY_BACKSPACE, WITH_SHIFT, 0, 0, delete_solid},
    {KEY_BACKSPACE, NO_SHIFT, 0, 0, delete_blend},
    {KEY_E, WITH_SHIFT, 0, 0, delete_measure},
    {KEY_UP, ANY_SHIFT, 0, 0, up},
    {KEY_DOWN, ANY_SHIFT, 0, 0, down},
    {KEY_LEFT, WITH_SHIFT, 0, 0, measure_back},
    {KEY_RIGHT, WITH_SHIFT, 0, 0, measure_forward},
    {0, NO_SHIFT, 0, 0, left_right},
    {KEY_DEL, ANY_SHIFT, 0, 0, delete_note_at_pointer},
    {KEY_BACKSLASH, ANY_SHIFT, 0, 0, pick_up_length},
    {KEY_Z, ANY_SHIFT, 0, 0, undo_key},
    {KEY_Y, ANY_SHIFT, 0, 0, redo_key},
};

int binding_fires(const key_binding &b) {
    if (b.scancode && !key[b.scancode])
        return 0;
    if ((b.shift == WITH_SHIFT && !shift_held()) || (b.shift == NO_SHIFT && shift_held()))
        return 0;
    return !(b.unless_a && key[b.unless_a]) && !(b.unless_b && key[b.unless_b]);
}

} // namespace

// Note input mode reads the typed keys first (N, which starts it, is one of them); the bindings
// of the keys it owns (and the plain arrows, which it also owns) stand aside while it is on.
void process_key_event() {
    bool was_in_mode = note_input_active();
    note_input_read_keys();
    bool in_mode = was_in_mode || note_input_active();
    for (const key_binding &b : key_bindings) {
        bool owned =
            in_mode && (b.scancode ? note_input_owns_key(b.scancode) != 0 : b.action == left_right);
        if (!owned && binding_fires(b))
            b.action();
    }
}
