// The plugin's C heap. Every buffer the plugin owns (heap texts, BLOB copies,
// codec work buffers) is allocated here, so that a test build can make any
// chosen allocation fail and prove that each failure path ends in the
// command's empty result. In the product these are plain malloc/realloc/free.
#pragma once

#include <cstddef>

void* PluginMalloc(size_t size);
// Like realloc: on failure the old block is left as it was and null returned.
void* PluginRealloc(void* block, size_t size);
void PluginFree(void* block);
// Frees a block the plugin keeps between calls and clears the pointer, so
// that nothing can reach the freed block afterwards.
inline void PluginRelease(char*& block) {
  PluginFree(block);
  block = nullptr;
}

// Blocks allocated and not yet freed by the calling thread: +1 for each
// successful PluginMalloc and each successful PluginRealloc of null, -1 for
// each PluginFree of a non-null block; failed allocations change nothing. A
// command allocates and frees on the thread that calls it, so around any call
// the caller's count comes back where it was unless the call leaked; the
// blocks kept between calls (print session state, resource caches, folders)
// are made by -1 and freed by -2 on the 4D main process. The count is per
// thread so that concurrent codec calls write nothing shared (no atomic, no
// lock on the allocation path); tests read it, the product never does.
long PluginLiveBlocksOnThisThread();

// Test seam: when set above 0, the N-th allocation from now fails (once).
// Returns the countdown it replaces (0 once the planned failure happened, so
// a failure walk knows when a call made fewer allocations than N).
// Counting is process-wide and not synchronised: single-threaded tests only.
long PluginHeapFailAfter(long allocations);
