// The undo history of the score: every edit is one step that keeps a compact copy of the
// measures it touched (notes with their tie chains, rests, tempo events), the track table and
// the starting tempo as they were, so that undo and redo swap the two versions of that stretch.
#pragma once

#include <cstddef>

#include "model/score.h"

constexpr int UNDO_DEPTH = 256; // steps kept; the oldest are dropped beyond it

// Starts a fresh, empty history (after a file is opened or imported, or a new score begun);
// the current state counts as saved.
void undo_reset();

// Starts recording a step named name (say "paste solid"). Steps nest: only the outermost
// begin and commit record, so a command may call another recorded command.
void undo_begin(score *s, const char *name);
// Before an edit changes them: measures first..last (last null: to the end of the score),
// widened to the whole tie chains that pass through them.
void undo_touch(score *s, measure *first, measure *last);
// Before an edit puts material at tick x of m running for len ticks: m, the measures that
// stretch reaches, and the reach of the chains through them.
void undo_touch_ticks(score *s, measure *m, int x, int len);
// Ends the step: recorded when changed is non-zero, forgotten otherwise. Returns changed.
int undo_commit(score *s, int changed);

// Take back the last step, or do again the last one taken back: 1 when done, 0 when there
// was none. Score pointers (ref_measure, cursor, selection) into replaced measures are moved
// to the measures that took their place; note pointers held elsewhere must be dropped.
int undo(score *s);
int redo(score *s);
// The name of the step undo or redo would take, null when there is none.
const char *undo_name();
const char *redo_name();
// Index of the first measure the last undo or redo replaced.
int undo_changed_measure();

// The state just written to a file; undo_at_saved tells whether the score is in it again.
void undo_mark_saved();
int undo_at_saved();

// Counts every change of the score's state through the history: each recorded step, undo and
// redo adds one. Never goes back, also not by undo_reset.
unsigned undo_changes();

int undo_steps();     // steps that can be undone
size_t undo_memory(); // bytes held by the recorded steps
