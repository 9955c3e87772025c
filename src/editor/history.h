// The note-length history: a ring of the entry lengths the user chose, with a current entry
// that the ; and ' keys move back and forward. Choosing a new length discards what lay after
// the current entry; at most 63 entries are kept.
#pragma once

constexpr int NOTE_LENGTH_QUEUE_SIZE = 64;

// Header of a history ring. cur is one past the current entry; end is one past the newest.
struct queue {
    int oldest;
    int end;
    int cur;
    int size;
};

extern int note_length_queue[NOTE_LENGTH_QUEUE_SIZE];
extern queue note_length_queue_header;
// Clock base of the repeat guard of ; and ' while a note is dragged.
extern int note_length_queue_timer;

// Empties the ring; size is left to the caller.
void init_queue(queue *q);
int queue_next(queue *q, int i);
int queue_prev(queue *q, int i);
// Stores value after the current entry, which becomes the newest; the oldest entry is dropped
// when the ring is full.
void add_queue(queue *q, int *slots, int value);

// The entry length history of the editor: empties it, sets note_type and
// user_defined_length to a quarter note and makes that the only entry.
void init_note_length_history();
// The current entry of the editor's history.
int current_note_length();
// Pushes len unless it equals the current entry.
void push_note_length(int len);
// Step back (forward) in the history and set note_type; 1 when the step was possible.
int note_length_history_back();
int note_length_history_forward();
