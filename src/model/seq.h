// The score model in one include: the list family and data model, note lengths, voices and
// rests, note layout, pitch spelling, tie chains, the selection, the view state, the clipboard
// and the block edits.
#pragma once

#include "model/score.h"
#include "model/length.h"
#include "model/voice.h"
#include "model/layout.h"
#include "model/pitch.h"
#include "model/tie.h"
#include "model/selection.h"
#include "model/view.h"
#include "model/clipboard.h"
