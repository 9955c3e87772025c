// What every picture is drawn on: the back buffer, the named colours of the current graphics
// mode, and the copy of the buffer to the screen.
#pragma once

#include <allegro.h>

extern BITMAP *buf; // the back buffer: all drawing goes here, _blit copies it to the screen
extern int bcol, fcol, scol, green_color, blue_color, gray_color;

// Picks the named colours (and the library GUI's) for the current graphics mode.
void set_colors();
void _blit();
