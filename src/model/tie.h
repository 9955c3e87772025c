// Tied notes: the tie-chain links, the total lengths along a chain, the expansion of whole
// notes into notatable pieces tied across bar lines (appending measures at the end of the
// score), the compression of a chain back into one note, and the cutting of a score.
#pragma once

#include "model/score.h"

// Chain links (no list header is involved). A null piece is left alone and gives null.
// First piece of piece's chain; null for null.
note *_l_start_note(note *piece);
// Inserts new_piece into the chain right after piece; with piece null, clears new_piece's
// chain links. Returns new_piece.
note *_l_link_note(note *piece, note *new_piece);
// Joins piece's l_prev and l_next to each other; piece keeps its own links. Returns piece.
note *_l_unlink_note(note *piece);
// Makes later continue earlier (each side only if not null). Returns later.
note *_l_tie_note(note *earlier, note *later);
// Cuts the link between piece and its l_prev on both sides. Returns piece.
note *_l_untie_note(note *piece);
// Recompute total_len along the whole chain of piece; return the first piece's total_len.
int update_note_list(note *piece);
int get_total_len(note *piece);

// Expansion.
// Splits the note at the bar lines; returns the number of following measures it reaches.
int __note_expand_by_measure(score *s, measure *m, note *n);
// Splits every piece of the note's chain (from n on) into notatable values. Returns 1 when
// the note was expanded, 0 for a rest or null.
int note_expand_by_note(measure *m, note *n);
// Both, and with validate set, validates m and the measures reached. Returns the reach.
int _note_expand_by_measure(score *s, measure *m, note *n, int validate);
int note_expand_by_measure(score *s, measure *m, note *n);
// Expands every note of m; returns the largest reach.
int _measure_expand_by_measure(score *s, measure *m, int validate);
int measure_expand_by_measure(score *s, measure *m);
// Expands every measure of the score. Returns the number of measures afterwards.
int score_expand_by_measure(score *s);

// What score_expand_by_measure would make of the whole notes from first on, found without
// making it: the pieces of all notes and the measures it would append at the end. Counting
// stops once pieces passes max_pieces, so the cost stays within max_pieces steps.
struct expansion_size {
    int64_t pieces;
    int appended_measures;
};
expansion_size score_expansion_size(measure *first, int64_t max_pieces);

// Compression.
// Joins the chain from n onward back into n; returns the number of following measures the
// chain reached (0 for a rest).
int note_compress_by_measure(measure *m, note *n);
// Compresses every note of m; returns the largest reach.
int measure_compress_by_measure(measure *m);

// Cuts the score at tick x of m: chains crossing into m are joined back, everything of m from
// x on and every later measure is deleted. Returns 1.
int truncate_measure(score *s, measure *m, int x);
// Clears every pointer of the score into m, which is about to be deleted; the first measure on
// screen moves to survivor (null when the caller sets it again).
void forget_measure(score *s, measure *m, measure *survivor);
