// Allocation seam of the plugin (see plugin_heap.h).
#include "base/plugin_heap.h"

#include <cstdlib>

namespace {
long gHeapFailCountdown = 0;  // 0: never fail
thread_local long tLiveBlocks = 0;

bool ShouldFail() {
  if (gHeapFailCountdown <= 0) return false;
  return --gHeapFailCountdown == 0;
}
}  // namespace

void* PluginMalloc(size_t size) {
  if (ShouldFail()) return nullptr;
  void* made = std::malloc(size == 0 ? 1 : size);
  if (made) ++tLiveBlocks;
  return made;
}

void* PluginRealloc(void* block, size_t size) {
  if (ShouldFail()) return nullptr;
  void* moved = std::realloc(block, size == 0 ? 1 : size);
  if (moved && !block) ++tLiveBlocks;
  return moved;
}

void PluginFree(void* block) {
  if (block) --tLiveBlocks;
  std::free(block);
}

long PluginLiveBlocksOnThisThread() { return tLiveBlocks; }

long PluginHeapFailAfter(long allocations) {
  const long left = gHeapFailCountdown;
  gHeapFailCountdown = allocations;
  return left;
}
