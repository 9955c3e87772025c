// The editor's interaction loop: each turn draws the picture into the back buffer, shows it,
// and waits for a key; Esc ends the loop.
#include "editor/mainloop.h"

#include <allegro.h>

#include "editor/interface.h"
#include "editor/state.h"

static void draw_picture() {
    clear_to_color(buf, bcol);
    textprintf_ex(buf, font, 24, 2, fcol, bcol, "%s%s", edited ? "*" : "", filename);
    hline(buf, 0, panel_height, buf->w - 1, green_color);
}

void main_loop() {
    while (!is_exit) {
        draw_picture();
        _blit();
        int k = readkey();
        if ((k >> 8) == KEY_ESC)
            is_exit = 1;
    }
}
