// The clipboard: one global measure holding the notes and events of the last copy, placed by
// their distance from the selection start, and the copy and blend paste that fill and read it.
// The block edits built on it (deletes, solid paste, key, transpose, track removal) follow.
#pragma once

#include <cstdint>

#include "model/block_edit.h"
#include "model/score.h"

// Copied material: notes with their whole lengths; tempo events; before each copied measure
// its signature (EVENT_NUM, EVENT_BIT, EVENT_KEY one tick before its start); last, the end
// marker EVENT_SELECT_END at the selection end, whose value is the end measure's key.
extern measure clip_board_measure;
extern int clip_board_length; // ticks of the last copied selection
// Track maps: a copy stores each active track's rank, a paste the active tracks by rank.
extern int8_t clipboard_track[MAX_TRACKS];
extern int n_clipboard_track;
// Where the end marker of the last paste landed.
extern int paste_end_x;
extern measure *paste_end_measure;

// 1 when nothing was ever copied: the clipboard holds no end marker.
int clip_board_empty();

// Copies the selection of s into target: _copy_events with tracks mapped by active order.
// 0 without a valid selection, else 1.
int copy_events(score *s, measure *target, int *length_out);
// With by_active, only notes of shown tracks are copied and each gets its track's rank among
// the shown tracks; without, every track keeps its number. 0 without a valid selection.
int _copy_events(score *s, measure *target, int *length_out, int by_active);

// Lays source over the score from tick x of m (existing notes stay), appending measures with
// the copied signatures as needed; clears the score cursor. Returns the number of notes and
// tempo events pasted; 0 without m, or with by_active and no shown track. With by_active the
// k-th shown track receives clipboard track k and further clipboard tracks are dropped.
int paste_events_blend(score *s, measure *source, measure *m, int x);
int _paste_events_blend(score *s, measure *source, measure *m, int x, int by_active);
