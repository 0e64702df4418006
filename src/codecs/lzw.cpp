// LZW compression and expansion (see lzw.h).
//
// STREAM. Codes are written most significant bit first into a 32-bit
// buffer and leave it a byte at a time; the last byte is padded with zero
// bits. Codes 0..highestRoot stand for single bytes; highestRoot + 1 is the
// clear code and highestRoot + 2 the end code, each only when switched on
// (with only the end code on, highestRoot + 1 stays unused). String codes
// follow the highest code in use. A new dictionary starts with codes of
// rootBits + 1 bits.
//
// CODE WIDTH. The compressor widens right after it assigns 2^w - 1 (the
// "early change" of TIFF and PDF): with 8-bit roots it writes 10-bit codes
// from the moment it has assigned 511. The expander assigns each code one
// code later than the compressor and so asks the same rule about code + 1.
// The end code is written at the width the expander will read it with: the
// expander adds one more entry when it reads the last code (unless that code
// opened its dictionary or the dictionary is full), so the compressor widens
// for that entry first, as libtiff's encoder does. Without this an end code
// that follows the assignment of 2^w - 2 would be read one bit wider than it
// was written.
//
// FULL DICTIONARY. With clear codes on, the compressor writes a clear code
// (at the current width) right after it assigns 2^maxBits - 2, and starts a
// new dictionary. libtiff clears one code earlier, after assigning 4093 with
// 12-bit codes, and may also clear early when its compression ratio drops;
// both streams expand with both expanders, but they are not byte-identical
// beyond the first 3838 strings. With clear codes off the compressor has no
// way to signal a new dictionary, so after assigning 2^maxBits - 2 it keeps
// the dictionary as it is and adds nothing more, as the expander does once
// its dictionary is full; a silent restart would produce streams that do not
// expand back.
//
// PADDING. Without a written end code, roots of 6 bits or fewer can leave
// enough zero padding bits at the end to read as one more code (a 0 byte);
// nothing in such a stream tells them apart, so only the end code avoids it.
//
// SEARCH. The compressor's dictionary lookup returns the code of the entry
// (prefix, suffix). An entry is added only after the lookup of that same
// pair failed, and entries are never removed except by a new dictionary, so
// within one dictionary every pair occurs at most once: "the first entry with
// this pair in insertion order" and "the entry with this pair" are the same
// entry. A hash index from pair to code therefore gives exactly the answer of
// a linear scan over the entries (tests/codecs/lzw_reference.h keeps that
// scan and the tests compare streams). Reserved entries have no suffix and
// are never indexed. The index is emptied by bumping a generation number
// instead of clearing it, because small dictionaries restart every few
// hundred bytes.
//
// CORRUPT STREAMS. Expansion never fails: it stops at the end code, at the
// end of the input, at a first code of a dictionary that is not a root, or at
// a code whose string cannot be built (an entry without a string, or a chain
// longer than any dictionary can hold). A code above those assigned is taken
// as the one being defined by this very step (the KwKwK case).
//
// References: Welch, "A Technique for High-Performance Data Compression",
// IEEE Computer 17(6), 1984; TIFF 6.0, section 13 and section 14 (predictor).
#include "codecs/lzw.h"

#include <cstddef>
#include <cstring>

#include "frame/plugin_heap.h"

namespace {

constexpr int32_t kSmallestRootBits = 3;
constexpr int32_t kLargestRootBits = 8;
constexpr int32_t kLargestCodeBits = 14;
constexpr int64_t kOutputSlack = 1024;  // room beyond the first estimate of the output

int32_t ClampRootBits(int32_t rootBits) {
  if (rootBits == -1) return kLargestRootBits;
  if (rootBits < kSmallestRootBits) return kSmallestRootBits;
  return rootBits > kLargestRootBits ? kLargestRootBits : rootBits;
}

int32_t ClampMaxBits(int32_t maxBits, int32_t rootBits) {
  if (maxBits < rootBits + 1) return rootBits + 1;
  return maxBits > kLargestCodeBits ? kLargestCodeBits : maxBits;
}

uint32_t IndexSlotOf(const LzwEngine& engine, uint32_t key) {
  // Knuth's multiplicative hash: the product's top bits are the well-mixed ones.
  return (key * 2654435761u) >> engine.indexShift;
}

// Makes room for `needed` more bytes of output, at least doubling the block.
bool ReserveOutput(LzwEngine& engine, int64_t needed) {
  if (engine.outputCapacity - engine.outputPosition >= needed) return true;
  int64_t grown = engine.outputCapacity * 2;
  if (grown < engine.outputPosition + needed + kOutputSlack) grown = engine.outputPosition + needed + kOutputSlack;
  void* block = PluginRealloc(engine.output, static_cast<size_t>(grown));
  if (block == nullptr) return false;
  engine.output = static_cast<unsigned char*>(block);
  engine.outputCapacity = grown;
  return true;
}

bool StartOutput(LzwEngine& engine, int64_t capacity) {
  engine.output = static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(capacity)));
  engine.outputCapacity = engine.output != nullptr ? capacity : 0;
  engine.outputPosition = 0;
  return engine.output != nullptr;
}

// Hands the output to the caller, shrunk to fit, and releases the engine.
void FinishOutput(LzwEngine& engine, unsigned char** output, int64_t* outputLength) {
  const int64_t used = engine.outputPosition;
  if (used == 0) {
    *output = nullptr;
  } else {
    void* shrunk = PluginRealloc(engine.output, static_cast<size_t>(used));
    *output = static_cast<unsigned char*>(shrunk != nullptr ? shrunk : engine.output);
    engine.output = nullptr;
  }
  *outputLength = used;
  LzwRelease(engine);
}

bool Fail(LzwEngine& engine, unsigned char** output, int64_t* outputLength) {
  LzwRelease(engine);
  *output = nullptr;
  *outputLength = 0;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Engine operations
// ---------------------------------------------------------------------------

void LzwRelease(LzwEngine& engine) {
  PluginFree(engine.prefixes);
  PluginFree(engine.suffixes);
  PluginFree(engine.index);
  PluginFree(engine.decodeStack);
  PluginFree(engine.output);
  engine = LzwEngine{};
  engine.clearCode = -1;
  engine.endCode = -1;
  engine.stackTop = -1;
}

bool LzwSetUp(LzwEngine& engine, const LzwSettings& settings, bool forCompression) {
  LzwRelease(engine);
  for (int width = 0; width < 31; ++width) engine.widthLimits[width] = (int32_t{1} << width) - 1;
  engine.widthLimits[31] = 0x7FFFFFFF;

  engine.rootBits = ClampRootBits(settings.rootBits);
  engine.highestRoot = (1 << engine.rootBits) - 1;
  engine.maxBits = ClampMaxBits(settings.maxBits, engine.rootBits);
  engine.maxCode = (1 << engine.maxBits) - 1;
  engine.clearCode = settings.clearOn ? engine.highestRoot + 1 : -1;
  engine.endCode = settings.endOn ? engine.highestRoot + 2 : -1;
  engine.capacity = engine.maxCode - engine.highestRoot;
  engine.stackSize = engine.capacity + 10;

  const size_t entries = static_cast<size_t>(engine.capacity) + 1;
  engine.prefixes = static_cast<int32_t*>(PluginMalloc(entries * sizeof(int32_t)));
  engine.suffixes = static_cast<int16_t*>(PluginMalloc(entries * sizeof(int16_t)));
  engine.decodeStack = static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(engine.stackSize)));
  bool ready = engine.prefixes != nullptr && engine.suffixes != nullptr && engine.decodeStack != nullptr;
  if (ready && forCompression) {
    // At most half full, so probe runs stay short.
    uint32_t slots = 64;
    engine.indexShift = 32 - 6;
    while (slots < 2u * static_cast<uint32_t>(engine.capacity)) {
      slots *= 2;
      --engine.indexShift;
    }
    engine.index = static_cast<LzwIndexSlot*>(PluginMalloc(slots * sizeof(LzwIndexSlot)));
    if (engine.index != nullptr) {
      std::memset(engine.index, 0, slots * sizeof(LzwIndexSlot));
      engine.indexMask = slots - 1;
    }
    ready = engine.index != nullptr;
  }
  if (!ready) {
    LzwRelease(engine);
    return false;
  }
  LzwNewDictionary(engine);
  return true;
}

void LzwNewDictionary(LzwEngine& engine) {
  engine.codeWidth = engine.rootBits + 1;
  for (int32_t entry = 0; entry <= engine.capacity; ++entry) {
    engine.prefixes[entry] = -1;
    engine.suffixes[entry] = -1;
  }
  engine.count = 0;
  if (engine.clearCode >= 0) {
    engine.prefixes[1] = engine.clearCode;
    engine.count = 1;
  }
  if (engine.endCode >= 0) {
    engine.prefixes[2] = engine.endCode;
    engine.count = 2;
  }
  engine.reservedCount = engine.count;
  engine.frozen = false;
  if (engine.index != nullptr && ++engine.generation == 0) {
    // After 2^32 dictionaries old slots could look current again: clear them.
    std::memset(engine.index, 0, (static_cast<size_t>(engine.indexMask) + 1) * sizeof(LzwIndexSlot));
    engine.generation = 1;
  }
}

void LzwAdjustWidth(LzwEngine& engine, int32_t code) {
  int32_t width = engine.codeWidth;
  if (code >= engine.widthLimits[width]) {
    width = 31;
    for (int32_t candidate = 0; candidate < 32; ++candidate) {
      if (code < engine.widthLimits[candidate]) {
        width = candidate;
        break;
      }
    }
  }
  if (width < engine.rootBits + 1) width = engine.rootBits + 1;
  engine.codeWidth = width < engine.maxBits ? width : engine.maxBits;
}

int32_t LzwAddString(LzwEngine& engine, int32_t prefix, int32_t suffix, int widthRule) {
  if (engine.count + 1 > engine.capacity) return -1;
  const int32_t entry = ++engine.count;
  engine.prefixes[entry] = prefix;
  engine.suffixes[entry] = static_cast<int16_t>(suffix);
  const int32_t code = engine.highestRoot + entry;
  if (engine.index != nullptr) {
    const uint32_t key = static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(suffix);
    uint32_t slot = IndexSlotOf(engine, key);
    while (engine.index[slot].generation == engine.generation) slot = (slot + 1) & engine.indexMask;
    engine.index[slot] = LzwIndexSlot{key, code, engine.generation};
  }
  if (widthRule == 1) LzwAdjustWidth(engine, code);
  if (widthRule == 2) LzwAdjustWidth(engine, code + 1);
  return code;
}

int32_t LzwFindString(const LzwEngine& engine, int32_t prefix, int32_t suffix) {
  const uint32_t key = static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(suffix);
  for (uint32_t slot = IndexSlotOf(engine, key); engine.index[slot].generation == engine.generation;
       slot = (slot + 1) & engine.indexMask) {
    if (engine.index[slot].key == key) return engine.index[slot].code;
  }
  return -1;
}

bool LzwIsKnownCode(const LzwEngine& engine, int32_t code) {
  if (code < 0) return false;
  if (code <= engine.highestRoot || code == engine.clearCode || code == engine.endCode) return true;
  return code - engine.highestRoot <= engine.count;
}

bool LzwWriteCode(LzwEngine& engine, int32_t code) {
  // A code adds at most 14 bits to at most 7 pending ones: 3 bytes.
  if (!ReserveOutput(engine, 4)) return false;
  engine.bitBuffer |= static_cast<uint32_t>(code) << (32 - engine.bitCount - engine.codeWidth);
  engine.bitCount += engine.codeWidth;
  while (engine.bitCount > 7) {
    engine.output[engine.outputPosition++] = static_cast<unsigned char>(engine.bitBuffer >> 24);
    engine.bitBuffer <<= 8;
    engine.bitCount -= 8;
  }
  return true;
}

bool LzwFlush(LzwEngine& engine) {
  if (engine.bitCount < 1) return true;
  if (!ReserveOutput(engine, 1)) return false;
  engine.output[engine.outputPosition++] = static_cast<unsigned char>(engine.bitBuffer >> 24);
  engine.bitBuffer = 0;
  engine.bitCount = 0;
  return true;
}

int32_t LzwReadCode(LzwEngine& engine, const unsigned char* input, int64_t length) {
  while (engine.bitCount < 25 && engine.inputPosition < length) {
    engine.bitBuffer |= static_cast<uint32_t>(input[engine.inputPosition++]) << (24 - engine.bitCount);
    engine.bitCount += 8;
  }
  if (engine.bitCount < engine.codeWidth) return int32_t{1} << engine.codeWidth;
  const int32_t code = static_cast<int32_t>(engine.bitBuffer >> (32 - engine.codeWidth));
  engine.bitBuffer <<= engine.codeWidth;
  engine.bitCount -= engine.codeWidth;
  return code;
}

bool LzwPushString(LzwEngine& engine, int32_t code) {
  while (code > engine.highestRoot) {
    const int32_t entry = code - engine.highestRoot;
    if (entry > engine.capacity || engine.suffixes[entry] < 0) return false;
    if (engine.stackTop + 1 >= engine.stackSize) return false;
    engine.decodeStack[++engine.stackTop] = static_cast<unsigned char>(engine.suffixes[entry]);
    code = engine.prefixes[entry];
  }
  if (code < 0 || engine.stackTop + 1 >= engine.stackSize) return false;
  engine.decodeStack[++engine.stackTop] = static_cast<unsigned char>(code);
  return true;
}

int32_t LzwEmitString(LzwEngine& engine, int32_t code, int32_t extraByte) {
  engine.stackTop = -1;
  if (extraByte >= 0 && extraByte <= 255) engine.decodeStack[++engine.stackTop] = static_cast<unsigned char>(extraByte);
  if (!LzwPushString(engine, code)) return kLzwCorruptCode;
  if (!ReserveOutput(engine, engine.stackTop + 1)) return kLzwNoMemory;
  const int32_t firstByte = engine.decodeStack[engine.stackTop];
  unsigned char* out = engine.output + engine.outputPosition;
  for (int32_t top = engine.stackTop; top >= 0; --top) *out++ = engine.decodeStack[top];
  engine.outputPosition += engine.stackTop + 1;
  engine.stackTop = -1;
  return firstByte;
}

void LzwApplyPredictor(int64_t pixelsPerRow, int64_t bytesPerPixel, unsigned char* data, int64_t length) {
  if (pixelsPerRow < 1 || bytesPerPixel < 1 || data == nullptr) return;
  const int64_t rowLength = pixelsPerRow * bytesPerPixel;
  const int64_t rows = length / rowLength;
  for (int64_t row = 0; row < rows; ++row) {
    unsigned char* start = data + row * rowLength;
    // From the row's end, so every subtraction still sees the original byte.
    for (int64_t position = rowLength - 1; position >= bytesPerPixel; --position) {
      start[position] = static_cast<unsigned char>(start[position] - start[position - bytesPerPixel]);
    }
  }
}

// ---------------------------------------------------------------------------
// Whole streams
// ---------------------------------------------------------------------------

bool LzwCompress(const unsigned char* input, int64_t length, const LzwSettings& settings,
                 unsigned char** output, int64_t* outputLength) {
  LzwEngine engine{};
  if (!LzwSetUp(engine, settings, true) || !StartOutput(engine, length / 2 + kOutputSlack)) {
    return Fail(engine, output, outputLength);
  }
  if (length <= 0) {
    FinishOutput(engine, output, outputLength);
    return true;
  }
  if (engine.clearCode >= 0 && settings.clearWritten && !LzwWriteCode(engine, engine.clearCode)) {
    return Fail(engine, output, outputLength);
  }
  const int32_t limit = engine.maxCode - 1;  // the last code a dictionary assigns
  const int32_t highestRoot = engine.highestRoot;
  int32_t prefix = input[0];
  if (prefix > highestRoot) return Fail(engine, output, outputLength);
  for (int64_t position = 1; position < length; ++position) {
    const int32_t byte = input[position];
    if (byte > highestRoot) return Fail(engine, output, outputLength);
    const int32_t found = LzwFindString(engine, prefix, byte);
    if (found >= 0) {
      prefix = found;
      continue;
    }
    if (!LzwWriteCode(engine, prefix)) return Fail(engine, output, outputLength);
    if (!engine.frozen) {
      const int32_t code = LzwAddString(engine, prefix, byte, 1);
      if (code >= limit) {
        if (engine.clearCode >= 0) {
          if (!LzwWriteCode(engine, engine.clearCode)) return Fail(engine, output, outputLength);
          LzwNewDictionary(engine);
        } else {
          engine.frozen = true;
        }
      }
    }
    prefix = byte;
  }
  if (!LzwWriteCode(engine, prefix)) return Fail(engine, output, outputLength);
  if (engine.endCode >= 0 && settings.endWritten) {
    if (!engine.frozen && engine.count > engine.reservedCount) {
      LzwAdjustWidth(engine, highestRoot + engine.count + 1);
    }
    if (!LzwWriteCode(engine, engine.endCode)) return Fail(engine, output, outputLength);
  }
  if (!LzwFlush(engine)) return Fail(engine, output, outputLength);
  FinishOutput(engine, output, outputLength);
  return true;
}

bool LzwExpand(const unsigned char* input, int64_t length, const LzwSettings& settings,
               unsigned char** output, int64_t* outputLength) {
  LzwEngine engine{};
  if (length < 0) length = 0;
  if (!LzwSetUp(engine, settings, false) || !StartOutput(engine, 2 * length + kOutputSlack)) {
    return Fail(engine, output, outputLength);
  }
  bool first = true;
  int32_t oldCode = -1;
  int32_t firstByte = 0;
  int32_t code = LzwReadCode(engine, input, length);
  while (code != engine.endCode) {
    if (code > engine.widthLimits[engine.codeWidth]) break;  // input exhausted
    if (code == engine.clearCode) {
      LzwNewDictionary(engine);
      do {
        code = LzwReadCode(engine, input, length);
      } while (code == engine.clearCode);
      first = true;
      continue;
    }
    int32_t emitted;
    if (first) {
      // A dictionary's first code can only be a root.
      if (code > engine.highestRoot) break;
      emitted = LzwEmitString(engine, code, -1);
      first = false;
    } else {
      emitted = LzwIsKnownCode(engine, code) ? LzwEmitString(engine, code, -1)
                                             : LzwEmitString(engine, oldCode, firstByte);
      if (emitted >= 0) LzwAddString(engine, oldCode, emitted, 2);
    }
    if (emitted == kLzwNoMemory) return Fail(engine, output, outputLength);
    if (emitted == kLzwCorruptCode) break;
    firstByte = emitted;
    oldCode = code;
    code = LzwReadCode(engine, input, length);
  }
  FinishOutput(engine, output, outputLength);
  return true;
}

LzwSettings LzwSettingsFromRequest(const LzwCodecRequest& request) {
  LzwSettings settings{};
  settings.rootBits = request.rootBits;
  settings.maxBits = ClampMaxBits(request.maxBits, ClampRootBits(request.rootBits));
  settings.clearOn = request.clearCodes % 2 == 1;
  settings.clearWritten = ((request.clearCodes / 2) & 0xFF) != 0;
  settings.endOn = request.endCode % 2 == 1;
  settings.endWritten = ((request.endCode / 2) & 0xFF) != 0;
  return settings;
}

bool RunLzwCodec(const LzwCodecRequest& request, unsigned char* input, int64_t length,
                 unsigned char** output, int64_t* outputLength) {
  *output = nullptr;
  *outputLength = 0;
  const unsigned mode = request.mode & 0xFF;
  if (mode > 2) return false;
  const LzwSettings settings = LzwSettingsFromRequest(request);
  if (mode == 0) return LzwExpand(input, length, settings, output, outputLength);
  if (mode == 2) LzwApplyPredictor(request.pixelsPerRow, request.bytesPerPixel, input, length);
  return LzwCompress(input, length, settings, output, outputLength);
}
