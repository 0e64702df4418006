// Sealing for the resource compiler: `sealed KEY` bodies go through the
// plugin's encrypted envelope (codecs/envelope.h) as one line of Base64, the
// form the plugin opens at run time. Header-only so that the tool and the
// tests share it; both link lqm_core_static.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/envelope.h"
#include "base/plugin_heap.h"

namespace resfile {

// A SealFunction (resource_source.h). The key is used as its UTF-8 bytes.
inline bool SealWithEnvelope(const std::string& key, std::vector<uint8_t>* data, std::string* error) {
  if (key.size() > 0x7FFF) {
    *error = "key is longer than 32767 bytes";
    return false;
  }
  // The envelope works on a plugin heap block, which it may replace.
  int64_t length = static_cast<int64_t>(data->size());
  unsigned char* block = nullptr;
  if (length > 0) {
    block = static_cast<unsigned char*>(PluginMalloc(data->size()));
    if (block == nullptr) {
      *error = "out of memory";
      return false;
    }
    std::memcpy(block, data->data(), data->size());
  }
  const bool sealed = CryptEnvelope(&block, &length, reinterpret_cast<const unsigned char*>(key.data()),
                                    static_cast<int32_t>(key.size()), true, true);
  if (!sealed) {
    PluginFree(block);
    *error = "out of memory";
    return false;
  }
  data->assign(block, block + length);
  PluginFree(block);
  return true;
}

}  // namespace resfile
