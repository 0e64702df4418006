// A slow reference LZW compressor written straight from the stream
// definition (docs/lzw-stream.md): the dictionary is a list searched from its
// first entry on every byte, codes are packed one bit at a time. The fast
// compressor must produce the same bytes for every input and setting.
#pragma once

#include <cstdint>
#include <vector>

namespace lzw_reference {

struct Settings {
  int rootBits;  // already clamped, 3..8
  int maxBits;   // already clamped, rootBits + 1 .. 14
  bool clearOn, clearWritten, endOn, endWritten;
};

class BitWriter {
 public:
  void Put(int code, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
      if (bitCount_ == 0) bytes_.push_back(0);
      if ((code >> bit) & 1) bytes_.back() |= static_cast<unsigned char>(0x80 >> bitCount_);
      bitCount_ = (bitCount_ + 1) % 8;
    }
  }
  std::vector<unsigned char> bytes_;

 private:
  int bitCount_ = 0;
};

// The width for a dictionary whose newest code is `code`: the smallest w
// with code < 2^w - 1, at least rootBits + 1, at most maxBits.
inline int WidthFor(int code, int width, const Settings& settings) {
  while (code >= (1 << width) - 1) ++width;
  if (width < settings.rootBits + 1) width = settings.rootBits + 1;
  return width < settings.maxBits ? width : settings.maxBits;
}

// False when a byte is above the highest root.
inline bool Compress(const std::vector<unsigned char>& input, const Settings& settings,
                     std::vector<unsigned char>* stream) {
  const int highestRoot = (1 << settings.rootBits) - 1;
  const int clearCode = settings.clearOn ? highestRoot + 1 : -1;
  const int endCode = settings.endOn ? highestRoot + 2 : -1;
  const int firstCode = settings.endOn ? highestRoot + 3 : settings.clearOn ? highestRoot + 2 : highestRoot + 1;
  const int limit = (1 << settings.maxBits) - 2;
  struct Entry {
    int prefix, suffix;
  };
  std::vector<Entry> entries;  // entries[i] is code firstCode + i
  int width = settings.rootBits + 1;
  bool frozen = false;
  BitWriter writer;
  auto restart = [&] {
    entries.clear();
    width = settings.rootBits + 1;
  };
  if (clearCode >= 0 && settings.clearWritten) writer.Put(clearCode, width);
  int prefix = -1;
  for (unsigned char byte : input) {
    if (byte > highestRoot) return false;
    if (prefix < 0) {
      prefix = byte;
      continue;
    }
    int found = -1;
    for (size_t index = 0; index < entries.size(); ++index) {
      if (entries[index].prefix == prefix && entries[index].suffix == byte) {
        found = firstCode + static_cast<int>(index);
        break;
      }
    }
    if (found >= 0) {
      prefix = found;
      continue;
    }
    writer.Put(prefix, width);
    if (!frozen) {
      entries.push_back({prefix, byte});
      const int code = firstCode + static_cast<int>(entries.size()) - 1;
      width = WidthFor(code, width, settings);
      if (code >= limit) {
        if (clearCode >= 0) {
          writer.Put(clearCode, width);
          restart();
        } else {
          frozen = true;
        }
      }
    }
    prefix = byte;
  }
  if (prefix >= 0) {
    writer.Put(prefix, width);
    if (endCode >= 0 && settings.endWritten) {
      // The expander adds an entry for the last code before it reads the end.
      if (!frozen && !entries.empty()) {
        width = WidthFor(firstCode + static_cast<int>(entries.size()), width, settings);
      }
      writer.Put(endCode, width);
    }
  }
  *stream = writer.bytes_;
  return true;
}

}  // namespace lzw_reference
