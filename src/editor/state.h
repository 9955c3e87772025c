// Editor-wide state: the modes, the entry length, the panel height and the unsaved-changes
// mark. The view position and the shown-track tables, which the score model reads too, live in
// model/view.h and come with this header.
#pragma once

#include <cstdint>

#include "model/score.h"
#include "model/view.h"
#include "render/draw.h"

constexpr int FILENAME_SIZE = 512;
constexpr int PANEL_HEIGHT = 24;

extern int edit_mode;           // 1 insert mode, 0 select mode
extern int dot_mode;            // non-zero: plain lengths are entered dotted
extern int note_type;           // current entry length in ticks
extern int user_defined_length; // length bound to the 0 key
extern int panel_height;
extern int mouse_visible;
extern int edited; // the score differs from its file
extern char filename[FILENAME_SIZE];

// What the renderer shows of this state: draw_all(current_view()) draws the editor's picture.
editor_view current_view();
