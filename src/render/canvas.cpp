// The back buffer and the named colours; set_colors runs again after every change of graphics
// mode, since makecol depends on the mode's depth and palette.
#include "render/canvas.h"

BITMAP *buf = nullptr;
int bcol, fcol, scol, green_color, blue_color, gray_color;

void set_colors() {
    bcol = makecol(255, 255, 255);
    fcol = makecol(0, 0, 0);
    scol = makecol(255, 0, 0);
    green_color = makecol(0, 255, 0);
    blue_color = makecol(0, 0, 255);
    gray_color = makecol(120, 120, 120);
    gui_bg_color = bcol;
    gui_fg_color = fcol;
}

void _blit() {
    blit(buf, screen, 0, 0, 0, 0, buf->w, buf->h);
}
