// LZW compression and expansion (see lzw.h).
//
// STREAM. Codes are written most significant bit first (the engine's
// packer a byte at a time, the whole-stream one a word at a time); the
// last byte is padded with zero bits. Codes 0..highestRoot stand for single bytes; highestRoot + 1 is the
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
// scan and the tests compare streams). The engine's own index (LzwFindString)
// is emptied by bumping a generation number; the whole-stream compressor
// below packs pair and code into one word per slot and also enters long
// strings by comparing the input with an earlier occurrence.
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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/plugin_heap.h"

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

namespace {

// The code space of LzwSetUp and an empty dictionary's counts and width, as
// LzwNewDictionary sets them, without the engine's tables: the compressor
// keeps its own, and filling the entry tables for every call was most of the
// cost of compressing a short input.
void SetUpCodeSpace(LzwEngine& engine, const LzwSettings& settings) {
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
  engine.codeWidth = engine.rootBits + 1;
  engine.count = engine.endCode >= 0 ? 2 : engine.clearCode >= 0 ? 1 : 0;
  engine.reservedCount = engine.count;
  engine.frozen = false;
}

}  // namespace

bool LzwSetUp(LzwEngine& engine, const LzwSettings& settings, bool forCompression) {
  SetUpCodeSpace(engine, settings);
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
    // Blocks of 16 load both operands before storing, and every later store
    // lies above them, so they too see only original bytes.
    int64_t end = rowLength;
    while (end - 16 >= bytesPerPixel) {
      unsigned char current[16];
      unsigned char before[16];
      std::memcpy(current, start + end - 16, 16);
      std::memcpy(before, start + end - 16 - bytesPerPixel, 16);
      for (int byte = 0; byte < 16; ++byte) current[byte] = static_cast<unsigned char>(current[byte] - before[byte]);
      std::memcpy(start + end - 16, current, 16);
      end -= 16;
    }
    for (int64_t position = end - 1; position >= bytesPerPixel; --position) {
      start[position] = static_cast<unsigned char>(start[position] - start[position - bytesPerPixel]);
    }
  }
}

// ---------------------------------------------------------------------------
// Whole streams
// ---------------------------------------------------------------------------
//
// The two loops below keep their state in locals and call no engine
// operation per byte. They produce exactly what the engine operations above
// produce one step at a time (tests/codecs/lzw_test.cpp compares both with
// slow references).

namespace {

// Every code adds at most 14 bits; output is reserved in steps that leave
// room for a 4-byte store and a 16-byte string copy past the position.
constexpr int64_t kOutputMargin = 32;
// Shorter strings are found as fast by walking the dictionary as by
// comparing them with an earlier occurrence (page benchmark).
constexpr int32_t kShortestJump = 4;
// Candidates shorter than this are not compared at all: on incompressible
// data every string is that short and the comparisons only cost time.
constexpr int32_t kShortestCandidate = 8;

inline void StoreBigEndian32(unsigned char* out, uint32_t value) {
  out[0] = static_cast<unsigned char>(value >> 24);
  out[1] = static_cast<unsigned char>(value >> 16);
  out[2] = static_cast<unsigned char>(value >> 8);
  out[3] = static_cast<unsigned char>(value);
}

inline uint64_t LoadBigEndian64(const unsigned char* in) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // GCC does not merge the portable loop below into one load (seen in the
  // expander's profile): one load and a byte swap.
  uint64_t value;
  std::memcpy(&value, in, 8);
  return __builtin_bswap64(value);
#else
  uint64_t value = 0;
  for (int byte = 0; byte < 8; ++byte) value = value << 8 | in[byte];
  return value;
#endif
}

// How many leading bytes of a and b agree, at most `count`.
inline int64_t MatchingBytes(const unsigned char* a, const unsigned char* b, int64_t count) {
  int64_t matched = 0;
  while (count - matched >= 8) {
    uint64_t wordA;
    uint64_t wordB;
    std::memcpy(&wordA, a + matched, 8);
    std::memcpy(&wordB, b + matched, 8);
    if (wordA != wordB) break;
    matched += 8;
  }
  while (matched < count && a[matched] == b[matched]) ++matched;
  return matched;
}

// The width LzwAdjustWidth gives `code`, from `width`.
int32_t AdjustedWidth(LzwEngine& engine, int32_t width, int32_t code) {
  engine.codeWidth = width;
  LzwAdjustWidth(engine, code);
  return engine.codeWidth;
}

// MSB-first code packer: the low `count` bits of `bits` are pending; whole
// 32-bit words leave as soon as they are complete. The caller keeps
// kOutputMargin bytes free at `position`.
struct CodePacker {
  uint64_t bits;
  int32_t count;
  int64_t position;

  inline void Put(unsigned char* out, uint32_t code, int32_t width) {
    bits = bits << width | code;
    count += width;
    if (count >= 32) {
      count -= 32;
      StoreBigEndian32(out + position, static_cast<uint32_t>(bits >> count));
      position += 4;
    }
  }
  // The pending bits, the last byte padded with zeros.
  inline void Flush(unsigned char* out) {
    while (count >= 8) {
      count -= 8;
      out[position++] = static_cast<unsigned char>(bits >> count);
    }
    if (count > 0) out[position++] = static_cast<unsigned char>(bits << (8 - count));
    count = 0;
  }
};

// The first of the four slots from *slot on that is empty or holds `key`:
// moves *slot there and returns what it holds. How far a probe goes is
// random on incompressible data, and as a loop it mispredicts about every
// fourth lookup; the four compares at once take no branch on it. When none of
// the four answers, or near the index's end, *slot stays and the slot is
// returned for the caller's loop to go on from.
template <typename Slot>
inline Slot FirstProbeHit(const Slot* index, uint32_t* slot, size_t slotCount, uint32_t key, int32_t codeBits) {
#if defined(__SSE2__)
  if constexpr (sizeof(Slot) == 4) {
    if (*slot + 4 <= slotCount) {
      const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i*>(index + *slot));
      const __m128i keys = _mm_and_si128(held, _mm_set1_epi32(static_cast<int>(~0u << codeBits)));
      const __m128i hits = _mm_or_si128(_mm_cmpeq_epi32(keys, _mm_set1_epi32(static_cast<int>(key << codeBits))),
                                        _mm_cmpeq_epi32(held, _mm_setzero_si128()));
      const int lanes = _mm_movemask_ps(_mm_castsi128_ps(hits));
      if (lanes != 0) *slot += static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(lanes)));
    }
  }
#else
  (void)slotCount, (void)key, (void)codeBits;
#endif
  return index[*slot];
}

// Each code written adds at most one string, so an input of n bytes assigns
// at most n codes: a short input gets an index and per-code tables sized to
// that (still at most half full) instead of the whole code space. Where a
// string lands in the index changes nothing in the stream, only how fast it
// is found. The index keeps one bit above the roots, so that the hash's
// suffix shift stays positive.
int32_t IndexSlotBits(const LzwEngine& engine, int64_t length) {
  const int64_t codesAssigned = length < engine.capacity ? length : engine.capacity;
  int32_t slotBits = engine.rootBits + 1;
  while (slotBits < engine.maxBits + 1 && (int64_t{1} << slotBits) < 2 * codesAssigned) ++slotBits;
  return slotBits;
}

// Compression proper. Slot is an unsigned integer wide enough for a slot of
// the dictionary index: (prefix << 8 | suffix) << maxBits | code, 0 when
// empty (no string code is 0). 32 bits hold it up to 12-bit codes.
//
// The index is open addressing at most half full, emptied by memset at every new
// dictionary (a few KiB). Each string code of kShortestJump bytes or more
// also records where its string occurred in the input, and `recent` and
// `longest` hold, per first byte, the newest and the longest of these
// codes. Where a string starts, the input is
// compared with their strings: every prefix of a dictionary string is itself a string of
// the dictionary, so the byte-by-byte walk would pass through the ancestor
// whose string is the common part, and the search enters there directly
// (climbing from the recent code when it is longer). On long runs (the white
// of a page, the zeros of its differenced rows) this skips almost every
// lookup; the stream is the same, only found sooner.
//
// kCodeBits and kHashShift, when not 0, are the values the engine and
// IndexSlotBits give (TIFF's shape on a long input has a copy of its own):
// as constants they turn the lookup's shifts into immediates and leave
// registers for the loop's other values.
template <typename Slot, int32_t kCodeBits = 0, int32_t kHashShift = 0>
bool CompressWithIndex(LzwEngine& engine, const unsigned char* input, int64_t length, const LzwSettings& settings) {
  const int32_t highestRoot = engine.highestRoot;
  const int32_t limit = engine.maxCode - 1;  // the last code a dictionary assigns
  const int32_t codeBits = kCodeBits != 0 ? kCodeBits : engine.maxBits;
  const Slot codeMask = (Slot{1} << codeBits) - 1;
  const int64_t codesAssigned = length < engine.capacity ? length : engine.capacity;
  const int32_t slotBits = IndexSlotBits(engine, length);
  const uint32_t slotMask = (1u << slotBits) - 1;
  const int32_t hashShift = kHashShift != 0 ? kHashShift : slotBits - engine.rootBits;
  const size_t slotCount = size_t{1} << slotBits;
  const int64_t highestCode = static_cast<int64_t>(highestRoot) + engine.reservedCount + codesAssigned;
  const size_t codeCount = static_cast<size_t>(highestCode < engine.maxCode ? highestCode : engine.maxCode) + 1;

  Slot* index = static_cast<Slot*>(PluginMalloc(slotCount * sizeof(Slot)));
  int64_t* stringStart = static_cast<int64_t*>(PluginMalloc(codeCount * sizeof(int64_t)));
  int32_t* stringLength = static_cast<int32_t*>(PluginMalloc(codeCount * sizeof(int32_t)));
  int32_t* stringPrefix = static_cast<int32_t*>(PluginMalloc(codeCount * sizeof(int32_t)));
  int32_t recent[256];   // per first byte, the newest string code (-1: none)
  int32_t longest[256];  // per first byte, the longest string code (-1: none)
  bool done = index != nullptr && stringStart != nullptr && stringLength != nullptr && stringPrefix != nullptr;
  if (!done) {
    PluginFree(stringPrefix);
    PluginFree(index);
    PluginFree(stringStart);
    PluginFree(stringLength);
    return false;
  }
  std::memset(index, 0, slotCount * sizeof(Slot));
  for (int32_t& code : recent) code = -1;
  for (int32_t& code : longest) code = -1;

  const int32_t reservedCount = engine.reservedCount;
  int32_t count = engine.count;
  int32_t width = engine.codeWidth;
  int32_t widthLimit = engine.widthLimits[width];
  bool frozen = false;
  int32_t longestInDictionary = 0;  // the longest string with records (see below)
  unsigned char* out = engine.output;
  int64_t capacity = engine.outputCapacity;
  CodePacker packer{0, 0, 0};

  if (engine.clearCode >= 0 && settings.clearWritten) packer.Put(out, static_cast<uint32_t>(engine.clearCode), width);

  int64_t start = 0;  // where the string being matched starts
  int64_t position = 1;
  uint32_t prefix = input[0];
  for (;;) {
    uint32_t slot = 0;
    uint32_t key = 0;
    while (position < length) {
      const uint32_t byte = input[position];
      key = prefix << 8 | byte;
      // The suffix shifted above the prefix, as libtiff hashes, but the
      // prefix spread over every 9th slot first: the codes of one dictionary
      // are consecutive, and unspread, those with a common suffix (the zeros
      // of differenced rows) filled one block of slots that probes for
      // other suffixes then walked to its end (page + predictor: 1.0 x
      // libtiff unspread, 2.0 x spread). A multiplicative hash spreads as
      // well but its multiply waits on every prefix (0.8 x on random data).
      slot = ((prefix * 9) ^ (byte << hashShift)) & slotMask;
      // One branch for "found at once", the usual answer on a page, whose
      // strings repeat; anything else is settled by FirstProbeHit.
      Slot held = index[slot];
      if (!((held != 0) & (static_cast<uint32_t>(held >> codeBits) == key))) {
        held = FirstProbeHit(index, &slot, slotCount, key, codeBits);
      }
      while (held != 0 && static_cast<uint32_t>(held >> codeBits) != key) {
        slot = (slot + 1) & slotMask;
        held = index[slot];
      }
      if (held == 0) break;
      prefix = static_cast<uint32_t>(held & codeMask);
      ++position;
    }
    if (position >= length) break;

    // `prefix` is the longest string at `start`; the byte at `position` ends it.
    if (capacity - packer.position < kOutputMargin) {
      engine.outputPosition = packer.position;
      if (!ReserveOutput(engine, kOutputMargin)) {
        done = false;
        break;
      }
      out = engine.output;
      capacity = engine.outputCapacity;
    }
    packer.Put(out, prefix, width);
    if (!frozen && count + 1 <= engine.capacity) {
      const int32_t code = highestRoot + ++count;
      index[slot] = static_cast<Slot>(static_cast<Slot>(key) << codeBits | static_cast<Slot>(code));
      const int32_t addedLength = static_cast<int32_t>(position - start + 1);
      if (addedLength >= kShortestJump) {
        // Shorter strings are never a candidate nor passed by a climb, which
        // stops at kShortestJump bytes: on incompressible data, where
        // nearly every string is that short, this is most of the records.
        stringStart[code] = start;
        stringLength[code] = addedLength;
        stringPrefix[code] = static_cast<int32_t>(prefix);
        recent[input[start]] = code;
        if (longest[input[start]] < 0 || stringLength[longest[input[start]]] <= addedLength) {
          longest[input[start]] = code;
        }
        if (addedLength > longestInDictionary) longestInDictionary = addedLength;
      }
      if (code >= widthLimit) {
        width = AdjustedWidth(engine, width, code);
        widthLimit = engine.widthLimits[width];
      }
      if (code >= limit) {
        if (engine.clearCode >= 0) {
          packer.Put(out, static_cast<uint32_t>(engine.clearCode), width);
          std::memset(index, 0, slotCount * sizeof(Slot));
          for (int32_t& recentCode : recent) recentCode = -1;
          for (int32_t& longestCode : longest) longestCode = -1;
          longestInDictionary = 0;
          count = reservedCount;
          width = engine.rootBits + 1;
          widthLimit = engine.widthLimits[width];
        } else {
          frozen = true;
        }
      }
    }

    start = position;
    prefix = input[start];
    position = start + 1;
    // The longest string with this first byte serves runs; the newest one
    // serves a pattern that just repeated.
    int64_t bestMatched = 0;
    int32_t bestNode = -1;
    const int32_t candidates[2] = {longest[prefix], recent[prefix]};
    // No candidate qualifies until some string of the dictionary is long enough.
    for (const int32_t candidate : candidates) {
      if (longestInDictionary < kShortestCandidate) break;
      if (candidate < 0 || stringLength[candidate] < kShortestCandidate) continue;
      // The longest common start of the input here and the candidate's
      // string is the string of one of the candidate's ancestors: climb to
      // it when that is shorter than walking down to it.
      const int32_t candidateLength = stringLength[candidate];
      const int64_t available = length - start;
      const int64_t matched = MatchingBytes(input + start, input + stringStart[candidate],
                                            candidateLength < available ? candidateLength : available);
      int64_t climb = candidateLength - matched;
      if (matched < kShortestJump || matched <= bestMatched || climb >= matched) continue;
      int32_t node = candidate;
      for (; climb > 0; --climb) node = stringPrefix[node];
      bestNode = node;
      bestMatched = matched;
    }
    if (bestNode >= 0) {
      prefix = static_cast<uint32_t>(bestNode);
      position = start + bestMatched;
    }
  }

  if (done && capacity - packer.position < kOutputMargin) {
    engine.outputPosition = packer.position;
    done = ReserveOutput(engine, kOutputMargin);
    out = engine.output;
  }
  if (done) {
    packer.Put(out, prefix, width);
    if (engine.endCode >= 0 && settings.endWritten) {
      if (!frozen && count > reservedCount) width = AdjustedWidth(engine, width, highestRoot + count + 1);
      packer.Put(out, static_cast<uint32_t>(engine.endCode), width);
    }
    packer.Flush(out);
    engine.outputPosition = packer.position;
  }
  PluginFree(index);
  PluginFree(stringStart);
  PluginFree(stringLength);
  PluginFree(stringPrefix);
  return done;
}

// Copies a string of `count` bytes that occurs earlier in the output at
// `from` to `to`. Reads and writes up to 15 bytes beyond both; the caller
// reserved them. When the string overlaps its own copy (a code defined by
// the very step that uses it) `to - from` is the period.
inline void CopyString(unsigned char* to, const unsigned char* from, int64_t count) {
  const int64_t gap = to - from;
  if (gap >= 16) {
    for (int64_t done = 0; done < count; done += 16) std::memcpy(to + done, from + done, 16);
  } else if (count <= 16 && gap >= count) {
    // The 16 bytes overlap, which memcpy may not be given; memmove reads
    // them all before writing, so the first `count` come out right.
    std::memmove(to, from, 16);
  } else {
    for (int64_t done = 0; done < count; ++done) to[done] = from[done];
  }
}

// Stores the low 8 bytes of `head` at `to`, lowest byte first (a plain
// 8-byte store on little-endian machines, which compilers see through).
inline void StoreLittleEndian64(unsigned char* to, uint64_t head) {
  unsigned char bytes[8];
  for (int byte = 0; byte < 8; ++byte) bytes[byte] = static_cast<unsigned char>(head >> (8 * byte));
  std::memcpy(to, bytes, 8);
}

// MSB-first code reader: the top `count` bits of `bits` are pending.
struct CodeReader {
  const unsigned char* input;
  int64_t length;
  int64_t position;
  uint64_t bits;
  int32_t count;

  // The next code of `width` bits; false when the input is exhausted.
  inline bool Next(int32_t width, int32_t* code) {
    if (count < width) {
      if (length - position >= 8) {
        bits |= LoadBigEndian64(input + position) >> count;
        position += (63 - count) >> 3;
        count |= 56;
      } else {
        while (count <= 56 && position < length) {
          bits |= static_cast<uint64_t>(input[position++]) << (56 - count);
          count += 8;
        }
        if (count < width) return false;
      }
    }
    *code = static_cast<int32_t>(bits >> (64 - width));
    bits <<= width;
    count -= width;
    return true;
  }
};

// What the expander knows of each code, in three tables indexed by code:
// its first 8 bytes (`heads`, fewer when shorter; first byte lowest), its
// length with its prefix's code (`lengths`, PackLength below; a length is at
// most 2^14 + 1) and, for strings longer than 8 bytes only, where the string
// was last written (`starts`). Most strings of incompressible data are 8
// bytes or shorter and come whole from the head instead of from scattered
// places of the output; roots are such strings. A step on such data reads
// one head and one length word and writes the same, 48 KiB of tables with
// 12-bit codes; the starts, written only for long strings, stay out of the
// first-level cache (a start written at every step, as before, added 32 KiB
// to what every step touches).

// Expansion's state between codes, beside the reader: what the size pass
// needs to replay the rest of the stream.
struct ExpandPosition {
  int32_t count;           // dictionary entries in use
  int32_t width;           // current code width
  int32_t previousLength;  // the length of the previous step's string
  bool first;              // the next code opens a dictionary
};

// The number of bytes the fast path of LzwExpand will still write from
// `reader` and `at` on: the lengths of the strings of the codes that follow,
// up to the end code, the end of the input or the first code the fast path
// hands to the engine (the engine grows the output itself from there).
// `lengths` holds the length of every code of the current dictionary and is
// changed. Reads the stream once more without copying any string; on a page
// that is a small fraction of the work, and it replaces the growth of the
// output by repeated doubling with one allocation of the right size.
int64_t MeasureExpansion(LzwEngine& engine, CodeReader reader, ExpandPosition at, int32_t* lengths) {
  const int32_t highestRoot = engine.highestRoot;
  const int32_t reservedCount = engine.reservedCount;
  const int32_t capacity = engine.capacity;
  int32_t widthLimit = engine.widthLimits[at.width];
  int64_t total = 0;
  int32_t code = 0;
  while (reader.Next(at.width, &code)) {
    if (code == engine.endCode) break;
    if (code == engine.clearCode) {
      at.count = reservedCount;
      at.width = engine.rootBits + 1;
      widthLimit = engine.widthLimits[at.width];
      at.first = true;
      continue;
    }
    if (at.first) {
      if (code > highestRoot) break;
      total += 1;
      at.previousLength = 1;
      at.first = false;
      continue;
    }
    const int32_t nextCode = highestRoot + at.count + 1;
    if (code > nextCode || (code > highestRoot && code <= highestRoot + reservedCount) ||
        (code == nextCode && at.count >= capacity)) {
      break;
    }
    if (at.count < capacity) {
      ++at.count;
      lengths[nextCode] = at.previousLength + 1;
      if (nextCode + 1 >= widthLimit) {
        at.width = AdjustedWidth(engine, at.width, nextCode + 1);
        widthLimit = engine.widthLimits[at.width];
      }
    }
    at.previousLength = lengths[code];
    total += at.previousLength;
  }
  return total;
}

// A length word packs the string's length (the low 16 bits) with the code
// of its prefix (the high 16), so that a step stores one word for both; the
// prefixes are read only when a corrupt stream hands the dictionary to the
// engine's chains.
constexpr uint32_t kLengthMask = 0xFFFF;
constexpr int kPrefixShift = 16;

inline uint32_t PackLength(int32_t length, int32_t prefix) {
  return static_cast<uint32_t>(length) | static_cast<uint32_t>(prefix) << kPrefixShift;
}

// The tables of the expander's codes (see the comment on them above), in
// one block: `codeCount` heads, as many starts, as many length words.
// A step finds all three from one pointer, at constant offsets in the copy
// of the common steps for 12-bit codes.
struct ExpandTables {
  uint64_t* block;
  size_t codeCount;
  uint64_t* Heads() const { return block; }
  int64_t* Starts() const { return reinterpret_cast<int64_t*>(block + codeCount); }
  uint32_t* Lengths() const { return reinterpret_cast<uint32_t*>(block + 2 * codeCount); }
};

// What one step of the expander leaves for the next, beside the reader.
// The previous string always ends at `outputPosition`.
struct ExpandStep {
  int32_t nextCode;        // the code of the entry the next step adds
  int32_t oldCode;         // the previous step's code
  int32_t previousLength;  // its string's length
  uint64_t previousHead;   // its string's head
  int64_t outputPosition;
  // Where the common steps stop: the output's end less its margin, and
  // the first code whose entry fills the dictionary or widens the codes.
  int64_t outputLimit;
  int32_t stopCode;
};

#if defined(__GNUC__)
#define LQM_LZW_OUT_OF_LINE __attribute__((noinline))
#define LQM_LZW_INLINE inline __attribute__((always_inline))
#else
#define LQM_LZW_OUT_OF_LINE
#define LQM_LZW_INLINE inline
#endif

// Enters the string of the previous step plus `firstByte` (the first byte of
// this step's string) as code `nextCode`, and returns its head. The previous
// string ends at `outputPosition`.
LQM_LZW_INLINE uint64_t AddExpandEntry(uint64_t* heads, int64_t* starts, uint32_t* lengths, int32_t nextCode,
                                       int32_t oldCode, uint64_t previousHead, int32_t previousLength,
                                       int64_t outputPosition, uint64_t firstByte) {
  uint64_t addedHead = previousHead;
  if (previousLength < 8) {
    addedHead |= firstByte << (8 * previousLength);
  } else {
    starts[nextCode] = outputPosition - previousLength;
  }
  heads[nextCode] = addedHead;
  lengths[nextCode] = PackLength(previousLength + 1, oldCode);
  return addedHead;
}

// The expander's common step, run for as long as nothing unusual can
// happen: the code is a root or a string code up to the next entry, the
// entries the steps add neither fill the dictionary nor widen the codes
// (they stay below `stopCode`), each string fits below `outputLimit`, and
// 8 bytes of input remain for the reader. It stops before the first code
// that breaks one of these (or when fewer than 4 entries are left below
// `stopCode`), unread, for LzwExpand's loop, which does the same step with
// every case. It keeps far fewer values live than that loop, so they stay
// in registers, and since a width of at most 14 bits leaves 4 codes in the
// reader after a refill, it refills once for 4 codes.
template <int32_t kWidth>
LQM_LZW_INLINE void ExpandCommonStepsWith(int32_t variableWidth, CodeReader& reader, ExpandStep& step,
                                          const ExpandTables& tables, unsigned char* out, int32_t highestRoot,
                                          int32_t reservedCount) {
  // A constant width (TIFF's shape has a copy per width) makes every shift
  // an immediate, which leaves a register free for the step's values.
  const int32_t width = kWidth != 0 ? kWidth : variableWidth;
  // Positions are pointers (`cursor` into the input, `op` into the output),
  // so that the steps need neither base in a register. Both limits stay
  // inside their blocks: without 8 bytes of input left there is nothing to
  // do here, and the output's margin is smaller than its first size.
  if (reader.length - reader.position < 8) return;
  const unsigned char* const outputLimit = out + step.outputLimit;
  const int32_t stopCode = step.stopCode;
  const unsigned char* const lastRefill = reader.input + reader.length - 8;
  const unsigned char* cursor = reader.input + reader.position;
  uint64_t bits = reader.bits;
  int32_t bitCount = reader.count;
  int32_t nextCode = step.nextCode;
  int32_t oldCode = step.oldCode;
  int32_t previousLength = step.previousLength;
  uint64_t previousHead = step.previousHead;
  unsigned char* op = out + step.outputPosition;
  uint64_t* const heads = tables.Heads();
  int64_t* const starts = tables.Starts();
  uint32_t* const lengths = tables.Lengths();

  while (cursor <= lastRefill && nextCode + 4 <= stopCode) {
    // As CodeReader::Next refills: at least 56 bits pending afterwards.
    bits |= LoadBigEndian64(cursor) >> bitCount;
    cursor += (63 - bitCount) >> 3;
    bitCount |= 56;
    // The pending count is settled once per refill, not per code: kept in
    // memory by the register allocator, a per-code update chained every
    // step through a store and a load.
    int32_t taken = 0;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 4
#endif
    for (; taken < 4; ++taken) {
      const int32_t code = static_cast<int32_t>(bits >> (64 - width));
      if (code <= highestRoot) {
        // A root is its own head, one byte long, and reads no table: on
        // incompressible data nearly every code is one, so it takes the
        // shortest path.
        if (op + 1 > outputLimit) break;
        bits <<= width;
        AddExpandEntry(heads, starts, lengths, nextCode, oldCode, previousHead, previousLength, op - out,
                       static_cast<uint64_t>(code));
        ++nextCode;
        *op++ = static_cast<unsigned char>(code);
        previousLength = 1;
        previousHead = static_cast<uint64_t>(code);
        oldCode = code;
        continue;
      }
      if (code > nextCode || code <= highestRoot + reservedCount) break;
      uint64_t head = heads[code];
      int32_t stringBytes = static_cast<int32_t>(lengths[code] & kLengthMask);
      if (code == nextCode) {
        // The entry this very step defines (the KwKwK case): the tables hold
        // nothing yet; its string is the previous one plus that one's first byte.
        head = previousHead;
        stringBytes = previousLength + 1;
      }
      if (op + stringBytes > outputLimit) break;
      bits <<= width;
      const uint64_t addedHead = AddExpandEntry(heads, starts, lengths, nextCode, oldCode, previousHead,
                                                previousLength, op - out, head & 0xFF);
      if (code == nextCode) head = addedHead;
      ++nextCode;

      StoreLittleEndian64(op, head);
      if (stringBytes > 8) CopyString(op + 8, out + starts[code] + 8, stringBytes - 8);
      previousLength = stringBytes;
      previousHead = head;
      op += stringBytes;
      oldCode = code;
    }
    bitCount -= taken * width;
    if (taken < 4) break;
  }
  reader.bits = bits;
  reader.count = bitCount;
  reader.position = cursor - reader.input;
  step.nextCode = nextCode;
  step.oldCode = oldCode;
  step.previousLength = previousLength;
  step.previousHead = previousHead;
  step.outputPosition = op - out;
}

// TIFF's shape (8-bit roots, 12-bit codes, clear and end codes on) with its
// constants folded in, one copy per code width so that the shifts are
// immediates too, and every other shape. The constants leave registers for
// the step's values (see bench/gaps.md for what each change gave).
template <int32_t kWidth>
LQM_LZW_OUT_OF_LINE void ExpandCommonStepsTiffWidth(CodeReader& reader, ExpandStep& step, uint64_t* tableBlock,
                                                    unsigned char* out) {
  ExpandCommonStepsWith<kWidth>(kWidth, reader, step, ExpandTables{tableBlock, 4096}, out, 255, 2);
}

void ExpandCommonStepsTiff(int32_t width, CodeReader& reader, ExpandStep& step, uint64_t* tableBlock,
                           unsigned char* out) {
  switch (width) {
    case 9: ExpandCommonStepsTiffWidth<9>(reader, step, tableBlock, out); break;
    case 10: ExpandCommonStepsTiffWidth<10>(reader, step, tableBlock, out); break;
    case 11: ExpandCommonStepsTiffWidth<11>(reader, step, tableBlock, out); break;
    default: ExpandCommonStepsTiffWidth<12>(reader, step, tableBlock, out); break;
  }
}

LQM_LZW_OUT_OF_LINE void ExpandCommonSteps(int32_t width, CodeReader& reader, ExpandStep& step,
                                           const ExpandTables& tables, unsigned char* out, int32_t highestRoot,
                                           int32_t reservedCount) {
  ExpandCommonStepsWith<0>(width, reader, step, tables, out, highestRoot, reservedCount);
}

}  // namespace

bool LzwCompress(const unsigned char* input, int64_t length, const LzwSettings& settings,
                 unsigned char** output, int64_t* outputLength) {
  LzwEngine engine{};
  SetUpCodeSpace(engine, settings);
  if (!StartOutput(engine, length / 2 + kOutputSlack)) {
    return Fail(engine, output, outputLength);
  }
  if (length <= 0) {
    FinishOutput(engine, output, outputLength);
    return true;
  }
  if (engine.highestRoot < 255) {
    // A byte outside the roots fails the whole call, wherever it stands.
    const unsigned char highestRoot = static_cast<unsigned char>(engine.highestRoot);
    unsigned char highest = 0;
    for (int64_t position = 0; position < length; ++position) highest |= input[position] > highestRoot;
    if (highest != 0) return Fail(engine, output, outputLength);
  }
  bool done = false;
  if (engine.maxBits == 12 && engine.rootBits == 8 && IndexSlotBits(engine, length) == 13) {
    done = CompressWithIndex<uint32_t, 12, 5>(engine, input, length, settings);
  } else if (engine.maxBits <= 12) {
    done = CompressWithIndex<uint32_t>(engine, input, length, settings);
  } else {
    done = CompressWithIndex<uint64_t>(engine, input, length, settings);
  }
  if (!done) return Fail(engine, output, outputLength);
  FinishOutput(engine, output, outputLength);
  return true;
}

// Makes room in the expander's output for `needed` bytes past
// `outputPosition`, the current step's string of `stringBytes` included; at
// the first shortage (*measured still false) also for the rest of the
// stream as MeasureExpansion finds it. False when memory runs out. Kept out
// of line so that the expander's locals stay in registers.
bool GrowExpandOutput(LzwEngine& engine, int64_t outputPosition, int64_t needed, CodeReader reader,
                      int32_t count, int32_t width, int32_t stringBytes, const uint32_t* stringLengths,
                      bool* measured) {
  if (!*measured) {
    *measured = true;
    const size_t codeCount = static_cast<size_t>(engine.maxCode) + 1;
    int32_t* lengths = static_cast<int32_t*>(PluginMalloc(codeCount * sizeof(int32_t)));
    if (lengths != nullptr) {
      for (size_t code = 0; code < codeCount; ++code) lengths[code] = static_cast<int32_t>(stringLengths[code] & kLengthMask);
      const ExpandPosition at{count, width, stringBytes, false};
      needed += MeasureExpansion(engine, reader, at, lengths);
      PluginFree(lengths);
    }
  }
  engine.outputPosition = outputPosition;
  return ReserveOutput(engine, needed);
}

// Expansion copies each code's string from where it was last written in the
// output: a string code's string is its prefix's string (written by the step
// before) plus one byte (the first byte of the step after), so it lies in
// the output at the start of its prefix's occurrence. Every step stores the
// first 8 bytes from the code's head and copies the rest, if any, from the
// output: roots and short strings take no other branch. Most steps run in
// ExpandCommonSteps; the loop below takes every other code and hands back.
// Only the stops on corrupt streams follow the prefix chains, through the
// engine operations: a code above the next one makes later entries refer to
// codes not yet defined, whose strings only the chains tell. The stream is
// expanded fast up to such a code and by the engine from there to the next
// clear code.
//
// The output starts at twice the input (enough for incompressible data);
// when a stream needs more, MeasureExpansion sizes the rest once, so a page
// that expands thirtyfold is not grown and copied by doubling.
bool LzwExpand(const unsigned char* input, int64_t length, const LzwSettings& settings,
               unsigned char** output, int64_t* outputLength) {
  LzwEngine engine{};
  if (length < 0) length = 0;
  if (!LzwSetUp(engine, settings, false) || !StartOutput(engine, 2 * length + kOutputSlack)) {
    return Fail(engine, output, outputLength);
  }
  const size_t codeCount = static_cast<size_t>(engine.maxCode) + 1;
  const size_t tableBytes = codeCount * (2 * sizeof(uint64_t) + sizeof(uint32_t));
  const ExpandTables tables{static_cast<uint64_t*>(PluginMalloc(tableBytes)), codeCount};
  if (tables.block == nullptr) return Fail(engine, output, outputLength);
  std::memset(tables.block, 0, tableBytes);
  uint64_t* const heads = tables.Heads();
  int64_t* const starts = tables.Starts();
  uint32_t* const lengths = tables.Lengths();
  for (int32_t root = 0; root <= engine.highestRoot; ++root) {
    heads[root] = static_cast<uint64_t>(root);
    lengths[root] = 1;
  }

  const int32_t highestRoot = engine.highestRoot;
  const int32_t clearCode = engine.clearCode;
  const int32_t endCode = engine.endCode;
  const int32_t capacity = engine.capacity;
  const int32_t reservedCount = engine.reservedCount;
  int32_t count = engine.count;
  int32_t width = engine.codeWidth;
  int32_t widthLimit = engine.widthLimits[width];  // also the largest code of this width
  CodeReader reader{input, length, 0, 0, 0};
  unsigned char* out = engine.output;
  int64_t outputCapacity = engine.outputCapacity;
  int64_t outputPosition = 0;
  bool first = true;
  bool chained = false;  // expanding through the engine's chains until the next clear code
  bool measured = false;
  // The largest code the fast step takes: the next entry's (the KwKwK
  // case), one less once the dictionary is full, and -1 (none) for a
  // dictionary's first code and while the engine expands.
  int32_t fastLimit = -1;
  int32_t oldCode = -1;
  int32_t firstByte = 0;
  int64_t previousStart = 0;  // the previous step's string in the output
  int32_t previousLength = 0;
  uint64_t previousHead = 0;  // and its head, so that no step reloads it
  bool failed = false;

  const bool tiffShape = highestRoot == 255 && reservedCount == 2 && codeCount == 4096;
  int32_t code = 0;
  for (;;) {
    // Not a dictionary's first code, not in the engine's hands, and room
    // for more entries at this width.
    const int32_t stopCount = capacity < widthLimit - highestRoot - 2 ? capacity : widthLimit - highestRoot - 2;
    if (fastLimit >= 0 && count + 4 <= stopCount) {
      ExpandStep step{highestRoot + count + 1, oldCode,          previousLength,
                      previousHead,            outputPosition,   outputCapacity - kOutputMargin,
                      highestRoot + stopCount + 1};
      if (tiffShape) {
        ExpandCommonStepsTiff(width, reader, step, tables.block, out);
      } else {
        ExpandCommonSteps(width, reader, step, tables, out, highestRoot, reservedCount);
      }
      count = step.nextCode - highestRoot - 1;
      oldCode = step.oldCode;
      previousLength = step.previousLength;
      previousHead = step.previousHead;
      outputPosition = step.outputPosition;
      previousStart = outputPosition - previousLength;
      firstByte = static_cast<int32_t>(previousHead & 0xFF);
      fastLimit = count < capacity ? highestRoot + count + 1 : highestRoot + count;
    }
    if (!reader.Next(width, &code)) break;
    // One test sends every code the fast step cannot take (the reserved
    // codes, a dictionary's first code, codes the engine expands, codes
    // beyond the next entry) to the cases of this block.
    const bool special = (code > fastLimit) |
                         (static_cast<uint32_t>(code - highestRoot - 1) < static_cast<uint32_t>(reservedCount));
    if (special) {
      if (code == endCode) break;
      if (code == clearCode) {
        // Entries are written in order and the reserved ones never change, so
        // a new dictionary is only a count; the chains are cleaned when needed.
        count = reservedCount;
        width = engine.rootBits + 1;
        widthLimit = engine.widthLimits[width];
        first = true;
        chained = false;
        fastLimit = -1;
        continue;
      }
      if (first) {
        // A dictionary's first code can only be a root.
        if (code > highestRoot) break;
        if (outputCapacity - outputPosition < kOutputMargin) {
          if (!GrowExpandOutput(engine, outputPosition, 1 + kOutputMargin, reader, count, width, 1, lengths,
                                &measured)) {
            failed = true;
            break;
          }
          out = engine.output;
          outputCapacity = engine.outputCapacity;
        }
        previousStart = outputPosition;
        previousLength = 1;
        previousHead = static_cast<uint64_t>(code);
        out[outputPosition++] = static_cast<unsigned char>(code);
        firstByte = code;
        oldCode = code;
        first = false;
        fastLimit = highestRoot + count + 1;
        continue;
      }

      const int32_t nextCode = highestRoot + count + 1;
      if (!chained && (code > nextCode || (code > highestRoot && code <= highestRoot + reservedCount) ||
                       (code == nextCode && count >= capacity))) {
        // Corrupt from here on: hand the state to the engine. Entries beyond
        // the count must read as empty to the chains, and the chains need the
        // suffixes, which the fast path keeps in its records and the output.
        for (int32_t entry = reservedCount + 1; entry <= count; ++entry) {
          const int32_t known = highestRoot + entry;
          const int32_t knownLength = static_cast<int32_t>(lengths[known] & kLengthMask);
          const int32_t last = knownLength <= 8 ? static_cast<int32_t>((heads[known] >> (8 * (knownLength - 1))) & 0xFF)
                                                : out[starts[known] + knownLength - 1];
          engine.suffixes[entry] = static_cast<int16_t>(last);
          engine.prefixes[entry] = static_cast<int32_t>(lengths[known] >> kPrefixShift);
        }
        for (int32_t entry = count + 1; entry <= capacity; ++entry) {
          engine.prefixes[entry] = -1;
          engine.suffixes[entry] = -1;
        }
        chained = true;
        fastLimit = -1;
      }
      if (chained) {
        engine.count = count;
        engine.codeWidth = width;
        engine.outputPosition = outputPosition;
        const int32_t emitted = LzwIsKnownCode(engine, code) ? LzwEmitString(engine, code, -1)
                                                             : LzwEmitString(engine, oldCode, firstByte);
        if (emitted >= 0) LzwAddString(engine, oldCode, emitted, 2);
        if (emitted == kLzwNoMemory) {
          failed = true;
          break;
        }
        if (emitted == kLzwCorruptCode) break;
        count = engine.count;
        width = engine.codeWidth;
        widthLimit = engine.widthLimits[width];
        out = engine.output;
        outputCapacity = engine.outputCapacity;
        outputPosition = engine.outputPosition;
        firstByte = emitted;
        oldCode = code;
        continue;
      }
    }

    const int32_t nextCode = highestRoot + count + 1;
    // The entry this step defines is (oldCode, first byte of this string).
    // When the code is that very entry (the KwKwK case) its head is not in
    // the table yet: its first byte is the previous string's, and the copy
    // below reads the bytes it is writing, one period behind.
    uint64_t head = heads[code];
    if (count < capacity) {
      ++count;
      const uint64_t addedFirst = (code == nextCode ? previousHead : head) & 0xFF;
      // Heads hold 8 bytes: longer strings leave theirs as the prefix's.
      const uint64_t addedHead =
          previousHead | (previousLength < 8 ? addedFirst << (8 * (previousLength & 7)) : uint64_t{0});
      heads[nextCode] = addedHead;
      if (previousLength >= 8) starts[nextCode] = previousStart;
      lengths[nextCode] = PackLength(previousLength + 1, oldCode);
      if (code == nextCode) head = addedHead;
      fastLimit = count < capacity ? nextCode + 1 : nextCode;
      if (nextCode + 1 >= widthLimit) {
        width = AdjustedWidth(engine, width, nextCode + 1);
        widthLimit = engine.widthLimits[width];
      }
    }
    const int32_t stringBytes = static_cast<int32_t>(lengths[code] & kLengthMask);
    if (outputCapacity - outputPosition < stringBytes + kOutputMargin) {
      if (!GrowExpandOutput(engine, outputPosition, stringBytes + kOutputMargin, reader, count, width, stringBytes,
                            lengths, &measured)) {
        failed = true;
        break;
      }
      out = engine.output;
      outputCapacity = engine.outputCapacity;
    }
    firstByte = static_cast<int32_t>(head & 0xFF);
    StoreLittleEndian64(out + outputPosition, head);
    if (stringBytes > 8) CopyString(out + outputPosition + 8, out + starts[code] + 8, stringBytes - 8);
    previousStart = outputPosition;
    previousLength = stringBytes;
    previousHead = head;
    outputPosition += stringBytes;
    oldCode = code;
  }
  PluginFree(tables.block);
  if (failed) return Fail(engine, output, outputLength);
  engine.outputPosition = outputPosition;
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

bool RunLzwCodec(const LzwCodecRequest& request, const unsigned char* input, int64_t length,
                 unsigned char** output, int64_t* outputLength) {
  *output = nullptr;
  *outputLength = 0;
  const unsigned mode = request.mode & 0xFF;
  if (mode > 2) return false;
  const LzwSettings settings = LzwSettingsFromRequest(request);
  if (mode == 0) return LzwExpand(input, length, settings, output, outputLength);
  if (mode == 1) return LzwCompress(input, length, settings, output, outputLength);
  // The differenced rows, in a block freed before the caller copies the
  // result, so that the input, this copy and two outputs never coexist.
  unsigned char* rows = length > 0 ? static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(length))) : nullptr;
  if (length > 0 && rows == nullptr) return false;
  if (rows != nullptr) std::memcpy(rows, input, static_cast<size_t>(length));
  LzwApplyPredictor(request.pixelsPerRow, request.bytesPerPixel, rows, length);
  const bool done = LzwCompress(rows, length, settings, output, outputLength);
  PluginFree(rows);
  return done;
}
