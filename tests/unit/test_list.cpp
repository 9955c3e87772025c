// The list family on three of its instances (note, m_event, measure): header operations and
// their counts, stable sorted insertion, deleting while walking, bare chains, the recycle list
// and the mislinked-list check.
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

#include "model/score.h"

namespace {

// Adapts one instance of the family to the typed tests: its named operations, and a sort key
// (x for notes and events, num for measures, which have no comparator of their own).
template <class T> struct ops;

#define LIST_TEST_OPS(T, KEY)                                                                      \
    template <> struct ops<T> {                                                                    \
        using list = T##_list;                                                                     \
        static inline int freed = 0;                                                               \
        static T *make(int key) {                                                                  \
            T *e = new_##T();                                                                      \
            e->KEY = key;                                                                          \
            return e;                                                                              \
        }                                                                                          \
        static int key(T *e) { return e->KEY; }                                                    \
        static int comp(T *a, T *b) { return a->KEY < b->KEY; }                                    \
        static int is_seven(T *e) { return e->KEY == 7; }                                          \
        static void count(T *) { freed++; }                                                        \
        static list *init(list *l) { return init_##T##_list(l); }                                  \
        static list *new_list() { return new_##T##_list(); }                                       \
        static T *insert(list *l, T *pos, T *e) { return _insert_##T##_list(l, pos, e); }          \
        static T *append(list *l, T *e) { return _append_##T##_list(l, e); }                       \
        static T *insert_sorted(list *l, T *e) { return _insert_sorted_##T##_list(l, e, comp); }   \
        static T *unlink(list *l, T *e) { return _unlink_##T##_list(l, e); }                       \
        static T *remove(list *l, T *e, void (*fn)(T *)) { return _delete_##T##_list(l, e, fn); }  \
        static list *destroy(list *l, void (*fn)(T *)) { return _destroy_##T##_list(l, fn); }      \
        static int check(list *l, T *e, const char *op) { return _assert_##T##_list(l, e, op); }   \
        static T *bare_insert(T *pos, T *e) { return _insert_##T(pos, e); }                        \
        static void bare_append(T *any, T *e) { _append_##T(any, e); }                             \
        static T *bare_unlink(T *e) { return _unlink_##T(e); }                                     \
        static T *bare_delete(T *e) { return _delete_##T(e); }                                     \
        static void bare_kill(T *e, void (*fn)(T *)) { _kill_##T(e, fn); }                         \
        static void bare_kill_chain(T *e, void (*fn)(T *)) { _kill_##T##_list(e, fn); }            \
        static T *bare_insert_sorted(T *start, T *e) {                                             \
            return _insert_sorted_##T(start, e, comp);                                             \
        }                                                                                          \
        static T *find(T *start) { return _find_##T##_with_function(start, is_seven); }            \
        static void activate_trash() { _activate_##T##_trash(); }                                  \
        static void trash(T *e) { _trash_##T(e); }                                                 \
        static void flush_trash(void (*fn)(T *)) { _flush_##T##_trash(fn); }                       \
        static int &trash_flag() { return _##T##_trash_initialized; }                              \
        static T &trash_sentinel() { return _##T##_trash; }                                        \
    };

LIST_TEST_OPS(note, x)
LIST_TEST_OPS(m_event, x)
LIST_TEST_OPS(measure, num)

template <class T> struct ListFamily : ::testing::Test {
    using O = ops<T>;
    typename O::list list;
    void SetUp() override {
        O::init(&list);
        O::freed = 0;
    }
    void TearDown() override { O::destroy(&list, nullptr); }

    // Elements from head to tail, checking every back link and the count on the way.
    std::vector<T *> walk() {
        std::vector<T *> seen;
        T *prev = nullptr;
        for (T *e = list.head; e; e = e->next) {
            EXPECT_EQ(e->prev, prev);
            seen.push_back(e);
            prev = e;
        }
        EXPECT_EQ(list.tail, prev);
        EXPECT_EQ(list.num, static_cast<int>(seen.size()));
        return seen;
    }
    std::vector<int> keys() {
        std::vector<int> k;
        for (T *e : walk())
            k.push_back(O::key(e));
        return k;
    }
};

using Instances = ::testing::Types<note, m_event, measure>;
TYPED_TEST_SUITE(ListFamily, Instances);

TYPED_TEST(ListFamily, InitGivesEmptyList) {
    EXPECT_EQ(this->list.num, 0);
    EXPECT_EQ(this->list.head, nullptr);
    EXPECT_EQ(this->list.tail, nullptr);
}

TYPED_TEST(ListFamily, NewListIsAnEmptyHeapHeader) {
    auto *l = ops<TypeParam>::new_list();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->num, 0);
    EXPECT_EQ(l->head, nullptr);
    EXPECT_EQ(l->tail, nullptr);
    std::free(l);
}

TYPED_TEST(ListFamily, NewElementHasNullLinks) {
    TypeParam *e = ops<TypeParam>::make(0);
    EXPECT_EQ(e->next, nullptr);
    EXPECT_EQ(e->prev, nullptr);
    std::free(e);
}

TYPED_TEST(ListFamily, InsertIntoEmptyListMakesHeadAndTail) {
    using O = ops<TypeParam>;
    TypeParam *e = O::make(1);
    EXPECT_EQ(O::insert(&this->list, nullptr, e), e);
    EXPECT_EQ(this->list.head, e);
    EXPECT_EQ(this->list.tail, e);
    EXPECT_EQ(this->list.num, 1);
    EXPECT_EQ(e->prev, nullptr);
    EXPECT_EQ(e->next, nullptr);
}

TYPED_TEST(ListFamily, InsertWithoutPositionGoesToTheFront) {
    using O = ops<TypeParam>;
    O::append(&this->list, O::make(1));
    O::append(&this->list, O::make(2));
    O::insert(&this->list, nullptr, O::make(0));
    EXPECT_EQ(this->keys(), (std::vector<int>{0, 1, 2}));
}

TYPED_TEST(ListFamily, InsertAfterPositionInTheMiddleAndAtTheTail) {
    using O = ops<TypeParam>;
    TypeParam *a = O::append(&this->list, O::make(1));
    TypeParam *c = O::append(&this->list, O::make(3));
    O::insert(&this->list, a, O::make(2));
    O::insert(&this->list, c, O::make(4));
    EXPECT_EQ(this->keys(), (std::vector<int>{1, 2, 3, 4}));
}

TYPED_TEST(ListFamily, SortedInsertBeforeHeadBecomesHead) {
    using O = ops<TypeParam>;
    O::insert_sorted(&this->list, O::make(5));
    O::insert_sorted(&this->list, O::make(9));
    TypeParam *first = O::insert_sorted(&this->list, O::make(2));
    EXPECT_EQ(this->list.head, first);
    EXPECT_EQ(this->keys(), (std::vector<int>{2, 5, 9}));
}

TYPED_TEST(ListFamily, SortedInsertPutsEqualElementsAfterExistingOnes) {
    using O = ops<TypeParam>;
    TypeParam *a = O::insert_sorted(&this->list, O::make(4));
    TypeParam *low = O::insert_sorted(&this->list, O::make(1));
    TypeParam *b = O::insert_sorted(&this->list, O::make(4));
    TypeParam *high = O::insert_sorted(&this->list, O::make(8));
    TypeParam *c = O::insert_sorted(&this->list, O::make(4));
    EXPECT_EQ(this->walk(), (std::vector<TypeParam *>{low, a, b, c, high}));
    EXPECT_EQ(this->list.tail, high);
}

TYPED_TEST(ListFamily, SortedInsertAfterAllBecomesTail) {
    using O = ops<TypeParam>;
    O::insert_sorted(&this->list, O::make(1));
    TypeParam *last = O::insert_sorted(&this->list, O::make(3));
    EXPECT_EQ(this->list.tail, last);
}

TYPED_TEST(ListFamily, UnlinkOfOnlyElementEmptiesList) {
    using O = ops<TypeParam>;
    TypeParam *e = O::append(&this->list, O::make(1));
    EXPECT_EQ(O::unlink(&this->list, e), nullptr);
    EXPECT_EQ(this->list.num, 0);
    EXPECT_EQ(this->list.head, nullptr);
    EXPECT_EQ(this->list.tail, nullptr);
    std::free(e);
}

TYPED_TEST(ListFamily, UnlinkHeadAndTailMoveThePointers) {
    using O = ops<TypeParam>;
    TypeParam *a = O::append(&this->list, O::make(1));
    TypeParam *b = O::append(&this->list, O::make(2));
    TypeParam *c = O::append(&this->list, O::make(3));
    EXPECT_EQ(O::unlink(&this->list, a), b);
    EXPECT_EQ(this->list.head, b);
    EXPECT_EQ(O::unlink(&this->list, c), nullptr);
    EXPECT_EQ(this->list.tail, b);
    EXPECT_EQ(this->keys(), (std::vector<int>{2}));
    std::free(a);
    std::free(c);
}

TYPED_TEST(ListFamily, UnlinkInTheMiddleReturnsSuccessor) {
    using O = ops<TypeParam>;
    O::append(&this->list, O::make(1));
    TypeParam *b = O::append(&this->list, O::make(2));
    TypeParam *c = O::append(&this->list, O::make(3));
    EXPECT_EQ(O::unlink(&this->list, b), c);
    EXPECT_EQ(this->keys(), (std::vector<int>{1, 3}));
    std::free(b);
}

TYPED_TEST(ListFamily, DestroyEmptyListReturnsIt) {
    using O = ops<TypeParam>;
    EXPECT_EQ(O::destroy(&this->list, O::count), &this->list);
    EXPECT_EQ(O::freed, 0);
    EXPECT_EQ(this->list.num, 0);
}

TYPED_TEST(ListFamily, DestroyCallsCallbackOnEveryElementAndLeavesEmptyHeader) {
    using O = ops<TypeParam>;
    for (int i = 0; i < 5; i++)
        O::append(&this->list, O::make(i));
    EXPECT_EQ(O::destroy(&this->list, O::count), &this->list);
    EXPECT_EQ(O::freed, 5);
    EXPECT_EQ(this->list.num, 0);
    EXPECT_EQ(this->list.head, nullptr);
    EXPECT_EQ(this->list.tail, nullptr);
}

TYPED_TEST(ListFamily, DeletingEverySecondWhileWalkingVisitsEachOnce) {
    using O = ops<TypeParam>;
    for (int i = 0; i < 7; i++)
        O::append(&this->list, O::make(i));
    std::vector<int> visited;
    int index = 0;
    for (TypeParam *e = this->list.head; e; index++) {
        visited.push_back(O::key(e));
        e = index % 2 == 0 ? O::remove(&this->list, e, O::count) : e->next;
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(this->keys(), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(O::freed, 4);
}

TYPED_TEST(ListFamily, DeleteTailReturnsNull) {
    using O = ops<TypeParam>;
    O::append(&this->list, O::make(1));
    TypeParam *t = O::append(&this->list, O::make(2));
    EXPECT_EQ(O::remove(&this->list, t, nullptr), nullptr);
    EXPECT_EQ(this->keys(), (std::vector<int>{1}));
}

TYPED_TEST(ListFamily, CheckAcceptsNullAndLinkedElements) {
    using O = ops<TypeParam>;
    EXPECT_EQ(O::check(&this->list, nullptr, "_x"), 1);
    TypeParam *a = O::append(&this->list, O::make(1));
    TypeParam *b = O::append(&this->list, O::make(2));
    EXPECT_EQ(O::check(&this->list, a, "_x"), 1);
    EXPECT_EQ(O::check(&this->list, b, "_x"), 1);
}

// The message goes to standard output; the death test reads standard error, so the statement
// sends standard output there first.
TYPED_TEST(ListFamily, CheckStopsOnElementWithoutPredecessorThatIsNotHead) {
    using O = ops<TypeParam>;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    O::append(&this->list, O::make(1));
    TypeParam stray{};
    stray.next = this->list.head;
    EXPECT_DEATH(
        {
            dup2(2, 1);
            O::check(&this->list, &stray, "_probe");
        },
        "_probe,Mislinked List \\(head\\)!!!(.|\n)*seq");
}

TYPED_TEST(ListFamily, CheckStopsOnElementWithoutSuccessorThatIsNotTail) {
    using O = ops<TypeParam>;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TypeParam *a = O::append(&this->list, O::make(1));
    TypeParam stray{};
    stray.prev = a;
    EXPECT_DEATH(
        {
            dup2(2, 1);
            O::check(&this->list, &stray, "_unlink");
        },
        "_unlink,Mislinked List \\(tail\\)!!!");
}

// Bare chains: no header, no count.
TYPED_TEST(ListFamily, BareInsertAndAppendLinkAfter) {
    using O = ops<TypeParam>;
    TypeParam *a = O::make(1);
    TypeParam *c = O::make(3);
    O::bare_insert(a, c);
    EXPECT_EQ(O::bare_insert(a, O::make(2)), a->next);
    O::bare_append(c, O::make(4)); // any element of the chain will do
    O::bare_append(nullptr, a);    // does nothing
    std::vector<int> seen;
    for (TypeParam *e = a; e; e = e->next) {
        if (e->next) {
            EXPECT_EQ(e->next->prev, e);
        }
        seen.push_back(O::key(e));
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(a->prev, nullptr);
    O::bare_kill_chain(a, O::count);
    EXPECT_EQ(O::freed, 4);
}

TYPED_TEST(ListFamily, BareUnlinkKeepsOwnLinksAndReturnsSuccessor) {
    using O = ops<TypeParam>;
    TypeParam *a = O::make(1);
    TypeParam *b = O::bare_insert(a, O::make(2));
    TypeParam *c = O::bare_insert(b, O::make(3));
    EXPECT_EQ(O::bare_unlink(b), c);
    EXPECT_EQ(a->next, c);
    EXPECT_EQ(c->prev, a);
    EXPECT_EQ(b->next, c);
    EXPECT_EQ(b->prev, a);
    EXPECT_EQ(O::bare_delete(b), c);
    EXPECT_EQ(O::bare_delete(c), nullptr);
    EXPECT_EQ(a->next, nullptr);
    std::free(a);
}

TYPED_TEST(ListFamily, BareOperationsAcceptNull) {
    using O = ops<TypeParam>;
    EXPECT_EQ(O::bare_unlink(nullptr), nullptr);
    EXPECT_EQ(O::bare_delete(nullptr), nullptr);
    O::bare_kill(nullptr, O::count);
    EXPECT_EQ(O::freed, 0);
}

TYPED_TEST(ListFamily, BareKillCallsCallbackAndUnlinks) {
    using O = ops<TypeParam>;
    TypeParam *a = O::make(1);
    TypeParam *b = O::bare_insert(a, O::make(2));
    O::bare_insert(b, O::make(3));
    O::bare_kill(b, O::count);
    EXPECT_EQ(O::freed, 1);
    EXPECT_EQ(O::key(a->next), 3);
    EXPECT_EQ(a->next->prev, a);
    O::bare_kill_chain(a, nullptr);
}

TYPED_TEST(ListFamily, BareSortedInsertWalksFromStart) {
    using O = ops<TypeParam>;
    TypeParam *a = O::make(2);
    O::bare_insert(a, O::make(6));
    O::bare_insert_sorted(a, O::make(4));
    O::bare_insert_sorted(a, O::make(9));
    // Sorting before the start still goes directly after it: a bare chain has no head to move.
    O::bare_insert_sorted(a, O::make(0));
    std::vector<int> seen;
    for (TypeParam *e = a; e; e = e->next)
        seen.push_back(O::key(e));
    EXPECT_EQ(seen, (std::vector<int>{2, 0, 4, 6, 9}));
    O::bare_kill_chain(a, nullptr);
}

TYPED_TEST(ListFamily, FindWithFunction) {
    using O = ops<TypeParam>;
    TypeParam *a = O::make(1);
    TypeParam *seven = O::bare_insert(a, O::make(7));
    TypeParam *later = O::bare_insert(seven, O::make(7));
    EXPECT_EQ(O::find(a), seven);
    EXPECT_EQ(O::find(later), later);
    EXPECT_EQ(O::find(nullptr), nullptr);
    later->next = nullptr;
    O::bare_delete(later);
    EXPECT_EQ(O::find(a), seven);
    O::bare_delete(seven);
    EXPECT_EQ(O::find(a), nullptr);
    std::free(a);
}

// The recycle list is off in this system; the tests switch it on and off again.
TYPED_TEST(ListFamily, FlushWithoutActivationSaysSo) {
    using O = ops<TypeParam>;
    ASSERT_EQ(O::trash_flag(), 0);
    ::testing::internal::CaptureStdout();
    O::flush_trash(O::count);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "trash was not set\n");
    EXPECT_EQ(O::freed, 0);
}

TYPED_TEST(ListFamily, TrashedElementIsReusedByNew) {
    using O = ops<TypeParam>;
    O::activate_trash();
    EXPECT_EQ(O::trash_sentinel().next, nullptr);
    TypeParam *a = O::append(&this->list, O::make(3));
    O::unlink(&this->list, a);
    O::trash(a);
    EXPECT_EQ(O::trash_sentinel().next, a);
    TypeParam *again = O::make(0);
    EXPECT_EQ(again, a);
    EXPECT_EQ(again->next, nullptr); // initialised afresh
    EXPECT_EQ(O::trash_sentinel().next, nullptr);
    std::free(again);
    O::trash_flag() = 0;
}

TYPED_TEST(ListFamily, FlushKillsTheWholeRecycleChain) {
    using O = ops<TypeParam>;
    O::activate_trash();
    // Made first: with the recycle list on, a new element would take a trashed one back.
    TypeParam *made[] = {O::make(0), O::make(1), O::make(2)};
    for (TypeParam *e : made)
        O::trash(e);
    O::flush_trash(O::count);
    EXPECT_EQ(O::freed, 3);
    EXPECT_EQ(O::trash_sentinel().next, nullptr);
    O::trash_flag() = 0;
}

} // namespace
