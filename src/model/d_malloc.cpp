// Allocation hooks of the score model and the fatal paths of the list family.
#include "model/d_malloc.h"
#include "model/list.h"

#include <cstdio>
#include <cstdlib>

#include "base/strutil.h"

void *raw_malloc(size_t size) {
    return std::malloc(size);
}

void raw_free(void *block) {
    std::free(block);
}

// Every element comes straight from the heap, so there is nothing to release here; the hook
// stays so that shut-down keeps one place for allocator clean-up.
void close_d_malloc() {}

void list_out_of_memory() {
    out_of_memory();
}

void list_mislinked(const char *op, const char *which, const char *unit) {
    std::printf("%s,Mislinked List (%s)!!!\n", op, which);
    std::fflush(stdout);
    std::fprintf(stderr, "%s: list consistency check failed in %s\n", unit, op);
    std::abort();
}
