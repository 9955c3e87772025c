// The GUI font compiled into the program: a monospaced 11 x 20 bitmap font for the character
// codes 32 to 255.
#pragma once

#include <allegro.h>

constexpr int GUI_FONT_W = 11;
constexpr int GUI_FONT_H = 20;

FONT *gui_font();
