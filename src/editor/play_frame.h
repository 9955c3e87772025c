// The picture while music plays: the view turns its page to keep the play line in sight, and
// each frame is drawn and shown at once.
#pragma once

#include "model/score.h"

// Turns the page of s when play_line.at lies outside the view; rows stay where they were.
void follow_play_line(score *s);
// One frame of foreground playback: follows the line, draws the picture and shows it.
void show_play_frame();
