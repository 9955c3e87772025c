// The clipboard: one global measure that holds copied notes and events.
#pragma once

#include "model/score.h"

extern measure clip_board_measure;
