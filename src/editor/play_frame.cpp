// Frames of playback: the page turn that keeps the play line on the screen, and the drawing
// and showing of a frame between two passes of the foreground player.
#include "editor/play_frame.h"

#include <allegro.h>

#include "editor/interface.h"
#include "model/layout.h"
#include "model/play_view.h"
#include "model/view.h"
#include "render/draw.h"

void follow_play_line(score *s) {
    measure *ref = s->ref_measure;
    if (!ref || !play_line.at.m)
        return;
    int ref_px = COLUMN_WIDTH * get_near_pos_x_by_x(ref, offset_x);
    measure *page = page_for_spot(ref, ref_px, play_line.at, s->limit.x - s->origin.x);
    if (page == ref)
        return;
    s->ref_measure = page;
    offset_x = 0;
    set_score_ref_x(s);
}

void show_play_frame() {
    follow_play_line(&g_score);
    draw_all();
    scare_mouse();
    _blit();
    unscare_mouse();
}
