// The plugin's codec routines take and give PluginMalloc blocks; the fuzz
// targets move their bytes in and out of vectors through these two helpers.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/plugin_heap.h"

namespace lqm_fuzz {

// A PluginMalloc copy of the bytes, or null for none.
inline unsigned char* HeapCopy(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return nullptr;
  auto* block = static_cast<unsigned char*>(PluginMalloc(bytes.size()));
  if (block != nullptr) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

// The block's bytes as a vector; the block is freed.
inline std::vector<uint8_t> TakeBlock(unsigned char* block, int64_t length) {
  std::vector<uint8_t> bytes(block, block + (block != nullptr ? length : 0));
  PluginFree(block);
  return bytes;
}

}  // namespace lqm_fuzz
