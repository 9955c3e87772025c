// The note-length history ring and the editor's one instance of it, which follows note_type.
#include "editor/history.h"

#include "editor/state.h"
#include "model/score.h"

int note_length_queue[NOTE_LENGTH_QUEUE_SIZE];
queue note_length_queue_header = {0, 0, 0, NOTE_LENGTH_QUEUE_SIZE};
int note_length_queue_timer = 0;

void init_queue(queue *q) {
    q->oldest = q->end = q->cur = 0;
}

int queue_next(queue *q, int i) {
    return (i + 1) % q->size;
}

int queue_prev(queue *q, int i) {
    return i > 0 ? i - 1 : q->size - 1;
}

void add_queue(queue *q, int *slots, int value) {
    int count = q->cur - q->oldest;
    if (q->cur < q->oldest)
        count += q->size;
    if (count == q->size - 1)
        q->oldest = queue_next(q, q->oldest);
    slots[q->cur] = value;
    q->cur = queue_next(q, q->cur);
    q->end = q->cur;
}

void init_note_length_history() {
    queue *q = &note_length_queue_header;
    init_queue(q);
    q->size = NOTE_LENGTH_QUEUE_SIZE;
    note_type = user_defined_length = TICKS_PER_QUARTER;
    add_queue(q, note_length_queue, TICKS_PER_QUARTER);
}

int current_note_length() {
    queue *q = &note_length_queue_header;
    return note_length_queue[queue_prev(q, q->cur)];
}

void push_note_length(int len) {
    if (len != current_note_length())
        add_queue(&note_length_queue_header, note_length_queue, len);
}

int note_length_history_back() {
    queue *q = &note_length_queue_header;
    if (queue_prev(q, q->cur) == q->oldest)
        return 0;
    q->cur = queue_prev(q, q->cur);
    note_type = current_note_length();
    return 1;
}

int note_length_history_forward() {
    queue *q = &note_length_queue_header;
    if (q->end == q->cur)
        return 0;
    q->cur = queue_next(q, q->cur);
    note_type = current_note_length();
    return 1;
}
