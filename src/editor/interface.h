// The life of the editor process: start-up in a fixed order, the graphics mode and its run-time
// change, the colours, the back buffer, the empty score, and shut-down.
#pragma once

#include <allegro.h>

extern BITMAP *buf; // the back buffer: all drawing goes here, _blit copies it to the screen
extern int bcol, fcol, scol, green_color, blue_color, gray_color;

// The command layer's part in the life of the editor, installed before run_editor (a null hook
// is skipped): start builds the menus and what the commands need; first_score opens the file
// named on the command line, or with file null asks for the settings of a new score; stop ends
// what the commands still run (background playback) before everything is released.
struct command_hooks {
    void (*start)();
    void (*first_score)(const char *file);
    void (*stop)();
};
extern command_hooks command_layer;

// The whole program: start-up, the main loop, shut-down. file, when not null, is opened
// instead of asking for a new score's settings. 0 after an orderly exit, 1 after a start-up
// failure.
int run_editor(const char *file);

void set_colors();
// The editor's view of the score just placed in g_score: the screen and its limits, the
// origin, no marker, the scroll at the top, the shown tracks.
void show_new_score();
// g_score becomes a new score (init_new_score) shown from its start; the old one must have been
// destroyed.
void init_g_score();
void _blit();
// Lets the user pick another graphics mode and rebuilds what depends on it; *back is replaced.
void change_gfx_mode(BITMAP **back);
