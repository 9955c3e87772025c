// The staccato mark of whole notes: a tie chain carries one mark, kept alike on every piece,
// and the selection's notes get it or lose it together.
#pragma once

#include "model/score.h"

// Gives the chain of piece, from its first piece on, the mark on (1) or none (0).
void set_chain_staccato(note *piece, int on);
// Marks every note that starts inside the selection (its whole chain), or, when every such
// note is marked already, clears them all. Returns the number of notes changed: 0 without a
// valid selection or a note starting in it.
int toggle_selection_staccato(score *s);
