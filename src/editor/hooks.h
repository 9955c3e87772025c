// The editor's one way up to the command layer: a record of hooks that the command layer installs
// once before run_editor. The editor calls them and never names a command itself; a null hook is
// skipped, so the editor also runs (and is tested) with none installed.
#pragma once

#include <allegro.h>

#include "editor/keys.h"

struct editor_hooks {
    // start builds the menus and what the commands need; first_score opens the file named on the
    // command line, or with file null asks for the settings of a new score; stop ends what the
    // commands still run (background playback) before everything is released.
    void (*start)();
    void (*first_score)(const char *file);
    void (*stop)();
    // Asked when the user wants to leave (Esc or the exit command): non-zero lets the loop end,
    // 0 keeps the editor running. Null: the loop ends at once.
    int (*confirm_exit)();
    // Asked every turn: non-zero once after the user chose the exit command.
    int (*exit_chosen)();
    // The menu the right button opens at the pointer (null: the button only brings the pointer
    // back), and what runs before it opens, so that entries can name what they would do.
    MENU *pop_up_menu;
    void (*before_menu)();
    // The commands bound to keys; a key whose entry is null does nothing.
    key_command_fn key_commands[KEY_COMMANDS];
};

// Replaces the installed hooks with a copy of hooks.
void install_editor_hooks(const editor_hooks &hooks);
const editor_hooks &installed_editor_hooks();
