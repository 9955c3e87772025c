// The tempo editor: a full-screen graph of the score's tempo on which curves are drawn with
// the mouse and written back as tempo events.
#pragma once

#include "model/score.h"

// Runs the tempo editor on s; non-zero when the user applied a change to the tempo events.
int graphic_editor(score *s);
