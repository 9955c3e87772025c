// Stable sorting of note and measure-event lists: the elements are gathered into an array,
// sorted with the list's own comparison and linked again in the new order.
#include "model/note_order.h"

#include <algorithm>
#include <vector>

namespace {

template <class T> bool is_sorted_list(list_of<T> *l, int (*comp)(T *, T *)) {
    for (T *e = l->head; e && e->next; e = e->next)
        if (comp(e->next, e))
            return false;
    return true;
}

template <class T> void sort_list(list_of<T> *l, int (*comp)(T *, T *)) {
    if (is_sorted_list(l, comp))
        return;
    std::vector<T *> items;
    items.reserve(static_cast<size_t>(l->num));
    for (T *e = l->head; e; e = e->next)
        items.push_back(e);
    std::stable_sort(items.begin(), items.end(), [comp](T *a, T *b) { return comp(a, b) != 0; });
    T *prev = nullptr;
    for (T *e : items) {
        e->prev = prev;
        if (prev)
            prev->next = e;
        prev = e;
    }
    prev->next = nullptr;
    l->head = items.front();
    l->tail = prev;
}

} // namespace

void sort_note_list(note_list *l) {
    sort_list(l, note_comp);
}

void sort_m_event_list(m_event_list *l) {
    sort_list(l, m_event_comp);
}

void sort_measure_elements(measure *m) {
    sort_note_list(&m->notes);
    sort_m_event_list(&m->m_events);
}
