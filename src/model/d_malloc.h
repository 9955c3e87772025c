// Allocation hooks of the score model: raw heap blocks for the export buffers, the shut-down
// hook, and the two fatal paths of the list family (heap exhausted, list corrupted).
#pragma once

#include <cstddef>

void *raw_malloc(size_t size);
void raw_free(void *block);
void close_d_malloc();
