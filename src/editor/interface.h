// The life of the editor process: start-up in a fixed order, the graphics mode and its run-time
// change, the empty score, and shut-down. The back buffer and the colours are the renderer's.
#pragma once

#include <allegro.h>

#include "render/canvas.h"

// The whole program: start-up, the main loop, shut-down. file, when not null, is opened
// instead of asking for a new score's settings. 0 after an orderly exit, 1 after a start-up
// failure.
int run_editor(const char *file);

void init_g_score();
// Lets the user pick another graphics mode and rebuilds what depends on it; *back is replaced.
void change_gfx_mode(BITMAP **back);
