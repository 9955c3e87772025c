// Frames of playback: the page turn that keeps the play line on the screen, and the drawing
// and showing of a frame between two passes of the foreground player.
#include "editor/play_frame.h"

#include <allegro.h>

#include "editor/interface.h"
#include "editor/state.h"
#include "model/layout.h"
#include "model/play_view.h"
#include "model/view.h"
#include "render/draw.h"

namespace {

// What the screen shows of the last frame.
struct shown_frame {
    unsigned serial; // the playback it belongs to
    int counting_in;
    int line_x; // -1: none
};
shown_frame shown = {0, 0, -1};

void show_line_columns(int x) {
    if (x >= 0)
        blit(buf, screen, x, bar_top, x, bar_top, PLAY_LINE_WIDTH, bar_bottom - bar_top + 1);
}

} // namespace

int follow_play_line(score *s) {
    measure *ref = s->ref_measure;
    if (!ref || !play_line.at.m)
        return 0;
    int ref_px = COLUMN_WIDTH * get_near_pos_x_by_x(ref, offset_x);
    measure *page = page_for_spot(ref, ref_px, play_line.at, s->limit.x - s->origin.x);
    if (page == ref)
        return 0;
    s->ref_measure = page;
    offset_x = 0;
    set_score_ref_x(s);
    return 1;
}

void show_play_frame() {
    int turned = follow_play_line(&g_score);
    draw_all(current_view());
    int x = play_line_screen_x(&g_score);
    bool whole = turned || shown.serial != play_line.serial ||
                 shown.counting_in != play_line.counting_in || shown.line_x < 0;
    scare_mouse();
    if (whole) {
        _blit();
    } else {
        show_line_columns(shown.line_x);
        show_line_columns(x);
    }
    unscare_mouse();
    shown = {play_line.serial, play_line.counting_in, x};
}
