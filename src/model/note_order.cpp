// Stable sorting of note and measure-event lists: the elements are gathered with their sort keys
// into an array, sorted in the order of note_comp and m_event_comp and linked again.
#include "model/note_order.h"

#include <algorithm>
#include <vector>

namespace {

// A note's place in note_comp's order (x first, then pitch) as one number, and an event's (x).
constexpr int64_t PITCH_RANGE = 65536; // every 16-bit pitch
constexpr int64_t PITCH_OFFSET = 32768;

int64_t note_key(const note *n) {
    return int64_t{n->x} * PITCH_RANGE + (n->pitch + PITCH_OFFSET);
}

int64_t m_event_key(const m_event *e) {
    return e->x;
}

template <class T> struct keyed {
    int64_t key;
    T *e;
};

// Sorts on keys held in one array: comparing through the element pointers would miss the cache
// on nearly every comparison of a large list.
template <class T> void sort_list(list_of<T> *l, int64_t (*key)(const T *)) {
    std::vector<keyed<T>> items;
    items.reserve(static_cast<size_t>(l->num));
    bool sorted = true;
    for (T *e = l->head; e; e = e->next) {
        int64_t k = key(e);
        sorted = sorted && (items.empty() || items.back().key <= k);
        items.push_back({k, e});
    }
    if (sorted)
        return;
    std::stable_sort(items.begin(), items.end(),
                     [](const keyed<T> &a, const keyed<T> &b) { return a.key < b.key; });
    T *prev = nullptr;
    for (const keyed<T> &item : items) {
        item.e->prev = prev;
        if (prev)
            prev->next = item.e;
        prev = item.e;
    }
    prev->next = nullptr;
    l->head = items.front().e;
    l->tail = prev;
}

} // namespace

void sort_note_list(note_list *l) {
    sort_list(l, note_key);
}

void sort_m_event_list(m_event_list *l) {
    sort_list(l, m_event_key);
}

void sort_measure_elements(measure *m) {
    sort_note_list(&m->notes);
    sort_m_event_list(&m->m_events);
}
