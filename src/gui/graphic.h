// The tempo editor: a full-screen graph of the score's tempo on which curves are drawn with
// the mouse and written back as tempo events. This unit owns the picture, the buttons and the
// modal loop; the curve and its conversions live in graphic_curve.
#pragma once

#include <allegro.h>

#include "gui/graphic_curve.h"
#include "model/score.h"

constexpr int GRAPHIC_BUTTONS = 5;
enum graphic_button_id {
    BUTTON_TIME_ZOOM_IN = 0,
    BUTTON_TIME_ZOOM_OUT = 1,
    BUTTON_TEMPO_ZOOM_IN = 2,
    BUTTON_TEMPO_ZOOM_OUT = 3,
    BUTTON_QUIT = 4,
};

// An on-screen button: its rectangle in screen pixels and its pictures.
struct graphic_button_t {
    int x, y, w, h;
    BITMAP *icon;
    BITMAP *icon_selected;
};
extern graphic_button_t graphic_button[GRAPHIC_BUTTONS];

// Runs the tempo editor on s; non-zero when the user applied a change to the tempo events.
int graphic_editor(score *s);

// Places the five buttons around the graph and the quit button at the top right of buf.
void init_graphic_button();
// 1 when (mx, my) lies in the button's rectangle, edges included.
int detect_button_box(const graphic_button_t *b, int mx, int my);
void draw_button_box(BITMAP *bmp, const graphic_button_t *b);
// Draws one frame of the editor for s into buf: grid, bar and beat lines, the staircase of
// the column tempos, the buttons and the title. Sets graphic_seed_measure(_x).
void graphic_draw(score *s);
