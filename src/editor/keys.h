// The keyboard side of the main loop: the table of key bindings tested in order on every key
// event (several may fire in one turn), the length keys, and the commands of other modules
// that keys call.
#pragma once

// One length key: held, it makes its length the entry length (ticks 0: user_defined_length).
struct length_key {
    int scancode;
    int ticks;
};

constexpr int LENGTH_KEYS = 25;
extern const length_key length_key_table[LENGTH_KEYS];
// The length of entry i of the table in ticks.
int get_length_key_ticks(int i);
// Index of the first held length key, or -1.
int find_held_length_key();

// Commands of the command layer bound to keys, looked up in the installed editor_hooks.
enum key_command_id {
    CMD_HELP,
    CMD_PLAY_SCORE,
    CMD_PLAY_STOP,
    CMD_COPY,
    CMD_PASTE_SOLID,
    CMD_PASTE_BLEND,
    CMD_DELETE_SOLID,
    CMD_DELETE_BLEND,
    CMD_DELETE_MEASURE,
    CMD_SELECT_START,
    CMD_SELECT_END,
    CMD_DELETE_NOTE,
    CMD_UNDO,
    CMD_REDO,
    CMD_PLAY_FROM_CURSOR,
    CMD_STACCATO,
    KEY_COMMANDS
};
typedef int (*key_command_fn)();

// Applies every binding whose keys are held, in table order.
void process_key_event();
// Either Shift key is held.
int shift_held();
