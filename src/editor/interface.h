// The life of the editor process: start-up in a fixed order, the graphics mode and its run-time
// change, the colours, the back buffer, the empty score, and shut-down.
#pragma once

#include <allegro.h>

extern BITMAP *buf; // the back buffer: all drawing goes here, _blit copies it to the screen
extern int bcol, fcol, scol, green_color, blue_color, gray_color;

// The whole program: start-up, the main loop, shut-down. 0 after an orderly exit, 1 after a
// start-up failure.
int run_editor();

void set_colors();
void init_g_score();
void _blit();
// Lets the user pick another graphics mode and rebuilds what depends on it; *back is replaced.
void change_gfx_mode(BITMAP **back);
