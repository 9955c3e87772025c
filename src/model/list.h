// The list family: intrusive doubly-linked lists with a {num, head, tail} header, bare-chain
// surgery, sorted insertion, recycle lists and a consistency check. Written once as templates
// and stamped out per element type by PLINKEL_LIST_FAMILY, which gives every type the same
// operation names (new_note, _insert_sorted_note_list, _assert_midi_note_list, ...).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Header of a list of T. An empty list has num 0 and both pointers null.
template <class T> struct list_of {
    int32_t num;
    T *head;
    T *tail;
};

// Ends the process after "insufficient memory\n"; never returns.
[[noreturn]] void list_out_of_memory();
// Prints the mislinked-list message for op and aborts, naming the unit that owns the list.
[[noreturn]] void list_mislinked(const char *op, const char *which, const char *unit);

namespace list_family {

template <class T> T *alloc_raw() {
    T *e = static_cast<T *>(std::malloc(sizeof(T)));
    if (!e)
        list_out_of_memory();
    return e;
}

template <class T> list_of<T> *init_list(list_of<T> *list) {
    list->num = 0;
    list->head = list->tail = nullptr;
    return list;
}

template <class T> list_of<T> *new_list() {
    return init_list(alloc_raw<list_of<T>>());
}

template <class T> T *insert_after(T *pos, T *e) {
    e->next = pos->next;
    e->prev = pos;
    if (pos->next)
        pos->next->prev = e;
    pos->next = e;
    return e;
}

template <class T> void append(T *any, T *e) {
    if (!any)
        return;
    while (any->next)
        any = any->next;
    insert_after(any, e);
}

// Joins e's neighbours to each other; e keeps its own links. Returns e's successor.
template <class T> T *unlink(T *e) {
    if (!e)
        return nullptr;
    T *next = e->next;
    if (e->prev)
        e->prev->next = next;
    if (next)
        next->prev = e->prev;
    return next;
}

template <class T> T *remove(T *e) {
    if (!e)
        return nullptr;
    T *next = unlink(e);
    std::free(e);
    return next;
}

template <class T> void kill(T *e, void (*fn)(T *)) {
    if (!e)
        return;
    unlink(e);
    if (fn)
        fn(e);
    std::free(e);
}

template <class T> void kill_chain(T *first, void (*fn)(T *)) {
    while (first->next)
        kill(first->next, fn);
    kill(first, fn);
}

template <class T> T *insert_sorted(T *start, T *e, int (*comp)(T *, T *)) {
    T *last = start;
    for (T *cur = start; cur && !comp(e, cur); cur = cur->next)
        last = cur;
    return insert_after(last, e);
}

template <class T> T *find_with(T *start, int (*pred)(T *)) {
    for (T *cur = start; cur; cur = cur->next)
        if (pred(cur))
            return cur;
    return nullptr;
}

template <class T> int check(list_of<T> *list, T *e, const char *op, const char *unit) {
    if (!e)
        return 1;
    if (!e->prev && list->head != e)
        list_mislinked(op, "head", unit);
    if (!e->next && list->tail != e)
        list_mislinked(op, "tail", unit);
    return 1;
}

template <class T> T *list_insert(list_of<T> *list, T *pos, T *e, const char *unit) {
    if (pos) {
        insert_after(pos, e);
    } else {
        e->prev = nullptr;
        e->next = list->head;
        if (list->head)
            list->head->prev = e;
    }
    if (!e->prev)
        list->head = e;
    if (!e->next)
        list->tail = e;
    list->num++;
    check(list, e, "_insert", unit);
    return e;
}

template <class T>
T *list_insert_sorted(list_of<T> *list, T *e, int (*comp)(T *, T *), const char *unit) {
    T *last = nullptr;
    for (T *cur = list->head; cur && !comp(e, cur); cur = cur->next)
        last = cur;
    return list_insert(list, last, e, unit);
}

template <class T> T *list_unlink(list_of<T> *list, T *e, const char *unit) {
    T *next = e->next;
    T *prev = e->prev;
    check(list, e, "_unlink", unit);
    unlink(e);
    if (list->head == e)
        list->head = next;
    if (list->tail == e)
        list->tail = prev;
    list->num--;
    return next;
}

template <class T> T *list_delete(list_of<T> *list, T *e, void (*fn)(T *), const char *unit) {
    T *next = list_unlink(list, e, unit);
    if (fn)
        fn(e);
    std::free(e);
    return next;
}

template <class T> list_of<T> *list_destroy(list_of<T> *list, void (*fn)(T *), const char *unit) {
    while (list->head)
        list_delete(list, list->head, fn, unit);
    return list;
}

} // namespace list_family

// Stamps out the named operations of the family for element type T, owned by source unit UNIT.
// T must be complete and `T *init_T(T *)` declared before the expansion.
#define PLINKEL_LIST_FAMILY(T, UNIT)                                                               \
    inline T _##T##_trash;                                                                         \
    inline int _##T##_trash_initialized = 0;                                                       \
    inline T *new_##T() {                                                                          \
        T *e = nullptr;                                                                            \
        if (_##T##_trash_initialized && _##T##_trash.next)                                         \
            e = _##T##_trash.next, list_family::unlink(e);                                         \
        else                                                                                       \
            e = list_family::alloc_raw<T>();                                                       \
        return init_##T(e);                                                                        \
    }                                                                                              \
    inline T##_list *new_##T##_list() {                                                            \
        return list_family::new_list<T>();                                                         \
    }                                                                                              \
    inline T##_list *init_##T##_list(T##_list *l) {                                                \
        return list_family::init_list(l);                                                          \
    }                                                                                              \
    inline T *_insert_##T(T *pos, T *e) {                                                          \
        return list_family::insert_after(pos, e);                                                  \
    }                                                                                              \
    inline void _append_##T(T *any, T *e) {                                                        \
        list_family::append(any, e);                                                               \
    }                                                                                              \
    inline T *_unlink_##T(T *e) {                                                                  \
        return list_family::unlink(e);                                                             \
    }                                                                                              \
    inline T *_delete_##T(T *e) {                                                                  \
        return list_family::remove(e);                                                             \
    }                                                                                              \
    inline void _kill_##T(T *e, void (*fn)(T *)) {                                                 \
        list_family::kill(e, fn);                                                                  \
    }                                                                                              \
    inline void _kill_##T##_list(T *first, void (*fn)(T *)) {                                      \
        list_family::kill_chain(first, fn);                                                        \
    }                                                                                              \
    inline T *_insert_sorted_##T(T *start, T *e, int (*comp)(T *, T *)) {                          \
        return list_family::insert_sorted(start, e, comp);                                         \
    }                                                                                              \
    inline T *_find_##T##_with_function(T *start, int (*pred)(T *)) {                              \
        return list_family::find_with(start, pred);                                                \
    }                                                                                              \
    inline int _assert_##T##_list(T##_list *l, T *e, const char *op) {                             \
        return list_family::check(l, e, op, UNIT);                                                 \
    }                                                                                              \
    inline T *_insert_##T##_list(T##_list *l, T *pos, T *e) {                                      \
        return list_family::list_insert(l, pos, e, UNIT);                                          \
    }                                                                                              \
    inline T *_append_##T##_list(T##_list *l, T *e) {                                              \
        return list_family::list_insert(l, l->tail, e, UNIT);                                      \
    }                                                                                              \
    inline T *_insert_sorted_##T##_list(T##_list *l, T *e, int (*comp)(T *, T *)) {                \
        return list_family::list_insert_sorted(l, e, comp, UNIT);                                  \
    }                                                                                              \
    inline T *_unlink_##T##_list(T##_list *l, T *e) {                                              \
        return list_family::list_unlink(l, e, UNIT);                                               \
    }                                                                                              \
    inline T *_delete_##T##_list(T##_list *l, T *e, void (*fn)(T *)) {                             \
        return list_family::list_delete(l, e, fn, UNIT);                                           \
    }                                                                                              \
    inline T##_list *_destroy_##T##_list(T##_list *l, void (*fn)(T *)) {                           \
        return list_family::list_destroy(l, fn, UNIT);                                             \
    }                                                                                              \
    inline void _activate_##T##_trash() {                                                          \
        init_##T(&_##T##_trash);                                                                   \
        _##T##_trash_initialized = 1;                                                              \
    }                                                                                              \
    inline void _trash_##T(T *e) {                                                                 \
        list_family::unlink(e);                                                                    \
        list_family::insert_after(&_##T##_trash, e);                                               \
    }                                                                                              \
    inline void _flush_##T##_trash(void (*fn)(T *)) {                                              \
        if (!_##T##_trash_initialized) {                                                           \
            std::printf("trash was not set\n");                                                    \
            return;                                                                                \
        }                                                                                          \
        while (_##T##_trash.next)                                                                  \
            list_family::kill(_##T##_trash.next, fn);                                              \
    }
