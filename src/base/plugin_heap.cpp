// Allocation seam of the plugin (see plugin_heap.h).
#include "base/plugin_heap.h"

#include <cstdlib>

namespace {
long gHeapFailCountdown = 0;  // 0: never fail

bool ShouldFail() {
  if (gHeapFailCountdown <= 0) return false;
  return --gHeapFailCountdown == 0;
}
}  // namespace

void* PluginMalloc(size_t size) {
  if (ShouldFail()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* PluginRealloc(void* block, size_t size) {
  if (ShouldFail()) return nullptr;
  return std::realloc(block, size == 0 ? 1 : size);
}

void PluginFree(void* block) { std::free(block); }

long PluginHeapFailAfter(long allocations) {
  const long left = gHeapFailCountdown;
  gHeapFailCountdown = allocations;
  return left;
}
