// The picture while music plays: the view turns its page to keep the play line in sight, and
// each frame is drawn and shown at once.
#pragma once

#include "model/score.h"

// Turns the page of s when play_line.at lies outside the view; rows stay where they were.
// Returns 1 when the page turned.
int follow_play_line(score *s);
// One frame of foreground playback: follows the line, draws the picture and shows it. Only
// the columns of the old and the new line go to the screen, unless the page turned or the
// panel changed: the frame stays cheap for the program and for the display.
void show_play_frame();
