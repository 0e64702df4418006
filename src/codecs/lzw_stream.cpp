// The LZW output block (lzw_stream.h): one PluginMalloc block per call,
// grown at least twofold, so a stream costs O(log n) reallocations; on
// success it is shrunk to the bytes written and owned by the caller, on
// failure freed, so that a failed call never leaves a block behind.
#include "codecs/lzw_stream.h"

#include <cstddef>

#include "base/plugin_heap.h"

bool LzwStartOutput(LzwOutput& output, int64_t capacity) {
  output.bytes = static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(capacity)));
  output.capacity = output.bytes != nullptr ? capacity : 0;
  output.position = 0;
  return output.bytes != nullptr;
}

bool LzwReserveOutput(LzwOutput& output, int64_t needed) {
  if (output.capacity - output.position >= needed) return true;
  int64_t grown = output.capacity * 2;
  if (grown < output.position + needed + kLzwOutputSlack) grown = output.position + needed + kLzwOutputSlack;
  void* block = PluginRealloc(output.bytes, static_cast<size_t>(grown));
  if (block == nullptr) return false;
  output.bytes = static_cast<unsigned char*>(block);
  output.capacity = grown;
  return true;
}

void LzwFinishOutput(LzwOutput& output, unsigned char** result, int64_t* resultLength) {
  const int64_t used = output.position;
  if (used == 0) {
    *result = nullptr;
    PluginFree(output.bytes);
  } else {
    void* shrunk = PluginRealloc(output.bytes, static_cast<size_t>(used));
    *result = static_cast<unsigned char*>(shrunk != nullptr ? shrunk : output.bytes);
  }
  *resultLength = used;
  output = LzwOutput{};
}

bool LzwFailOutput(LzwOutput& output, unsigned char** result, int64_t* resultLength) {
  PluginFree(output.bytes);
  output = LzwOutput{};
  *result = nullptr;
  *resultLength = 0;
  return false;
}
