// A slow reference LZW compressor and expander written straight from the
// stream definition (docs/lzw-stream.md): the dictionary is a list of
// (prefix, suffix) entries, searched from its first entry on every byte when
// compressing and followed prefix by prefix when expanding; codes are packed
// and read one bit at a time. The fast codec must produce the same bytes for
// every input and setting, damaged streams included.
#pragma once

#include <algorithm>
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

class BitReader {
 public:
  explicit BitReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}
  // False when fewer than `width` bits remain.
  bool Get(int width, int* code) {
    if (bit_ + static_cast<size_t>(width) > 8 * bytes_.size()) return false;
    *code = 0;
    for (int taken = 0; taken < width; ++taken, ++bit_) *code = *code << 1 | ((bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1);
    return true;
  }

 private:
  const std::vector<unsigned char>& bytes_;
  size_t bit_ = 0;
};

// Where the codes of a stream lie: the roots, then the clear and end codes
// when they are on (-1 when off), then the dictionary from firstCode.
struct CodeSpace {
  explicit CodeSpace(const Settings& settings)
      : highestRoot((1 << settings.rootBits) - 1),
        clearCode(settings.clearOn ? highestRoot + 1 : -1),
        endCode(settings.endOn ? highestRoot + 2 : -1),
        firstCode(settings.endOn ? highestRoot + 3 : settings.clearOn ? highestRoot + 2 : highestRoot + 1) {}
  int highestRoot, clearCode, endCode, firstCode;
};

// One dictionary entry: its prefix code and last byte.
struct Entry {
  int prefix, suffix;
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
  const CodeSpace space(settings);  // named locals: lambdas below capture them
  const int highestRoot = space.highestRoot, clearCode = space.clearCode, endCode = space.endCode,
            firstCode = space.firstCode;
  const int limit = (1 << settings.maxBits) - 2;
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

// Expansion, corrupt streams included. It stops at the end code, at the end
// of the input, at a dictionary's first code that is not a root, and at a
// code whose string cannot be built: a chain that meets an unassigned or
// reserved code, or that loops. A code above those assigned is taken as the
// one this step assigns: the old code's string plus its first byte, while
// the old code becomes that unassigned code. `widths`, when given, receives
// the width of every code read before the end.
inline std::vector<unsigned char> Expand(const std::vector<unsigned char>& stream, const Settings& settings,
                                         std::vector<int>* widths = nullptr) {
  const CodeSpace space(settings);  // named locals: lambdas below capture them
  const int highestRoot = space.highestRoot, clearCode = space.clearCode, endCode = space.endCode,
            firstCode = space.firstCode;
  const int maxCode = (1 << settings.maxBits) - 1;
  std::vector<Entry> entries;  // entries[i] is code firstCode + i
  auto stringOf = [&](int code, std::vector<unsigned char>* string) {
    string->clear();
    for (size_t links = 0; code > highestRoot; ++links) {
      const int entry = code - firstCode;
      if (entry < 0 || entry >= static_cast<int>(entries.size()) || links > entries.size()) return false;
      string->push_back(static_cast<unsigned char>(entries[entry].suffix));
      code = entries[entry].prefix;
    }
    string->push_back(static_cast<unsigned char>(code));
    std::reverse(string->begin(), string->end());
    return true;
  };
  BitReader reader(stream);
  std::vector<unsigned char> output;
  std::vector<unsigned char> string;
  int width = settings.rootBits + 1;
  bool first = true;
  int oldCode = -1;
  for (int code; reader.Get(width, &code);) {
    if (code == endCode) break;
    if (widths != nullptr) widths->push_back(width);
    if (code == clearCode) {
      entries.clear();
      width = settings.rootBits + 1;
      first = true;
      continue;
    }
    if (first) {
      if (code > highestRoot) break;
      string.assign(1, static_cast<unsigned char>(code));
      first = false;
    } else {
      const int nextCode = firstCode + static_cast<int>(entries.size());
      if (code < nextCode) {
        if (!stringOf(code, &string)) break;
      } else {
        if (!stringOf(oldCode, &string)) break;
        string.push_back(string[0]);
      }
      if (nextCode <= maxCode) {
        entries.push_back({oldCode, string[0]});
        width = WidthFor(nextCode + 1, width, settings);
      }
    }
    output.insert(output.end(), string.begin(), string.end());
    oldCode = code;
  }
  return output;
}

}  // namespace lzw_reference
