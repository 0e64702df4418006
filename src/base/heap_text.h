// HeapText: a NUL-terminated byte string in a plugin-heap block that it owns
// and frees with PluginFree, so that a handler's early returns cannot leak
// it. Empty texts hold no block: data() then gives "" and size() 0.
//
// Move-only. release() hands the block over to code that takes ownership of
// a raw PluginMalloc block (the envelope reallocates its input in place).
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/plugin_heap.h"

class HeapText {
 public:
  HeapText() = default;
  // Adopts `bytes` (a PluginMalloc block of at least size + 1 bytes whose
  // byte at `size` is NUL), or nothing when it is null.
  HeapText(char* bytes, size_t size) : bytes_(bytes), size_(bytes ? size : 0) {}
  HeapText(HeapText&& other) noexcept
      : bytes_(std::exchange(other.bytes_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  HeapText& operator=(HeapText&& other) noexcept {
    if (this != &other) {
      PluginFree(bytes_);
      bytes_ = std::exchange(other.bytes_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  HeapText(const HeapText&) = delete;
  HeapText& operator=(const HeapText&) = delete;
  ~HeapText() { PluginFree(bytes_); }

  // A copy of `text`; empty (no block) when memory is short: check held().
  static HeapText Copy(std::string_view text) {
    auto* copy = static_cast<char*>(PluginMalloc(text.size() + 1));
    if (copy == nullptr) return {};
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = 0;
    return HeapText(copy, text.size());
  }

  bool held() const { return bytes_ != nullptr; }
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  const char* data() const { return bytes_ ? bytes_ : ""; }
  std::string_view view() const { return {data(), size_}; }
  // The block, now the caller's to free; the text becomes empty.
  char* release() {
    size_ = 0;
    return std::exchange(bytes_, nullptr);
  }

 private:
  char* bytes_ = nullptr;
  size_t size_ = 0;
};
