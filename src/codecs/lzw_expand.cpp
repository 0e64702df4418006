// The LZW expander: LzwExpand, with its size pass and its damaged-tail walk.
//
// The stream it reads is laid out in lzw_stream.h, and every rule of it
// (code space, widths, which codes are valid where) comes from there.
// Expansion copies each code's string from where it was last written in the
// output: a string code's string is its prefix's string (written by the step
// before) plus one byte (the first byte of the step after), so it lies in the
// output at the start of its prefix's occurrence. Every step stores the
// first 8 bytes from the code's head and copies the rest, if any, from the
// output: roots and short strings take no other branch. Most steps run in
// ExpandCommonSteps; LzwExpand's loop takes every other code and hands back.
//
// Invariants: the previous step's string always ends at the output position;
// every entry up to the dictionary's count holds a length word written in
// this dictionary (entries above it are stale and never read); the output
// keeps kLzwOutputMargin bytes free past its position.
//
// CORRUPT STREAMS. Expansion never fails on them: it stops at the end code,
// at the end of the input, at a dictionary's first code that is not a root,
// or at a code whose string cannot be built. A code above those assigned is
// taken as the one this very step assigns, and the rest of its dictionary is
// expanded by the damaged-tail step below.
//
// The output starts at twice the input (enough for incompressible data);
// when a stream needs more, MeasureExpansion sizes the rest once, so a page
// that expands thirtyfold is not grown and copied by doubling.
#include <cstddef>
#include <cstring>

#include "base/plugin_heap.h"
#include "codecs/lzw.h"
#include "codecs/lzw_stream.h"

namespace {

// ---------------------------------------------------------------------------
// Tables and string copies
// ---------------------------------------------------------------------------

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

// A length word packs the string's length (the low 16 bits) with the code
// of its prefix (the high 16), so that a step stores one word for both; the
// prefixes are read only in a damaged tail (below), where a length of 0
// marks an entry whose string is not known yet.
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

// ---------------------------------------------------------------------------
// Size pass
// ---------------------------------------------------------------------------

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
// up to the end code, the end of the input or the first invalid code (a
// damaged tail grows the output itself). `lengths` holds the length of every
// code of the current dictionary and is changed. Reads the stream once more
// without copying any string; on a page that is a small fraction of the
// work, and it replaces the growth of the output by repeated doubling with
// one allocation of the right size.
int64_t MeasureExpansion(const LzwCodeSpace& space, LzwBitReader reader, ExpandPosition at, int32_t* lengths) {
  const int32_t highestRoot = space.highestRoot;
  const int32_t reservedCount = space.reservedCount;
  const int32_t capacity = space.capacity;
  int32_t widensAt = LzwExpanderWidensAt(at.width);
  int64_t total = 0;
  int32_t code = 0;
  while (reader.Next(at.width, &code)) {
    if (code == space.endCode) break;
    if (code == space.clearCode) {
      at.count = reservedCount;
      at.width = space.FirstWidth();
      widensAt = LzwExpanderWidensAt(at.width);
      at.first = true;
      continue;
    }
    if (at.first) {
      if (!LzwIsValidFirstCode(code, highestRoot)) break;
      total += 1;
      at.previousLength = 1;
      at.first = false;
      continue;
    }
    const int32_t nextCode = highestRoot + at.count + 1;
    if (!LzwIsValidCode(code, nextCode, highestRoot, reservedCount)) break;
    if (at.count < capacity) {
      ++at.count;
      lengths[nextCode] = at.previousLength + 1;
      if (nextCode >= widensAt) {
        at.width = LzwExpanderWidth(nextCode, at.width, space);
        widensAt = LzwExpanderWidensAt(at.width);
      }
    }
    at.previousLength = lengths[code];
    total += at.previousLength;
  }
  return total;
}

// ---------------------------------------------------------------------------
// Common steps
// ---------------------------------------------------------------------------

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
LQM_LZW_INLINE void ExpandCommonStepsWith(int32_t variableWidth, LzwBitReader& reader, ExpandStep& step,
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
    // As LzwBitReader::Next refills: at least 56 bits pending afterwards.
    bits |= LzwLoadBigEndian64(cursor) >> bitCount;
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
      if (!LzwIsValidCode(code, nextCode, highestRoot, reservedCount)) break;
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

      LzwStoreLittleEndian64(op, head);
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
LQM_LZW_OUT_OF_LINE void ExpandCommonStepsTiffWidth(LzwBitReader& reader, ExpandStep& step, uint64_t* tableBlock,
                                                    unsigned char* out) {
  ExpandCommonStepsWith<kWidth>(kWidth, reader, step, ExpandTables{tableBlock, 4096}, out, 255, 2);
}

void ExpandCommonStepsTiff(int32_t width, LzwBitReader& reader, ExpandStep& step, uint64_t* tableBlock,
                           unsigned char* out) {
  switch (width) {
    case 9: ExpandCommonStepsTiffWidth<9>(reader, step, tableBlock, out); break;
    case 10: ExpandCommonStepsTiffWidth<10>(reader, step, tableBlock, out); break;
    case 11: ExpandCommonStepsTiffWidth<11>(reader, step, tableBlock, out); break;
    default: ExpandCommonStepsTiffWidth<12>(reader, step, tableBlock, out); break;
  }
}

LQM_LZW_OUT_OF_LINE void ExpandCommonSteps(int32_t width, LzwBitReader& reader, ExpandStep& step,
                                           const ExpandTables& tables, unsigned char* out, int32_t highestRoot,
                                           int32_t reservedCount) {
  ExpandCommonStepsWith<0>(width, reader, step, tables, out, highestRoot, reservedCount);
}


// ---------------------------------------------------------------------------
// Damaged tail
// ---------------------------------------------------------------------------
//
// After a code above those assigned, the dictionary goes on, but the entry
// the next step adds has that code as its prefix, and it is not assigned
// yet: the entry's string is known only once its prefix is (and never, when
// the prefix turns out to be the entry itself or a later one whose chain
// comes back). Such an entry keeps its prefix and, in its head, its last
// byte, with a length of 0. A code whose string passes through one is built
// by following prefixes to the first entry with a known string; each entry
// on the way then gets the string just written, so it is followed once.
// Every code goes through ExpandDamagedStep until the next clear code.
// Expansion stops at a reserved code, at a chain that meets an unassigned
// code or comes back on itself, and at an unassigned code right after
// another (its string would be that one's, still unknown).

enum class TailStep { kGoOn, kStop, kNoMemory };

// The first `length` bytes of a string whose first 8 are `head8`.
inline uint64_t HeadOf(uint64_t head8, int32_t length) {
  return length >= 8 ? head8 : head8 & ((uint64_t{1} << (8 * length)) - 1);
}

// One code of a damaged tail (not a clear or end code, not a dictionary's
// first code), from the state in `step` and `*width`, which it advances.
LQM_LZW_OUT_OF_LINE TailStep ExpandDamagedStep(int32_t code, const LzwCodeSpace& space, const ExpandTables& tables,
                                               LzwOutput& output, ExpandStep& step, int32_t* width) {
  const int32_t highestRoot = space.highestRoot;
  const int32_t reservedCount = space.reservedCount;
  const int32_t nextCode = step.nextCode;
  const int32_t lastAssigned = nextCode - 1;
  uint64_t* const heads = tables.Heads();
  int64_t* const starts = tables.Starts();
  uint32_t* const lengths = tables.Lengths();
  // The previous string is the old code's unless that code was unassigned.
  const bool oldAssigned = step.oldCode <= lastAssigned;
  const int64_t at = step.outputPosition;
  int32_t stringBytes = 0;
  if (LzwIsValidCode(code, lastAssigned, highestRoot, reservedCount)) {
    // Its chain, to the first entry with a known string. An acyclic chain
    // has fewer links than the dictionary has entries.
    int32_t known = code;
    int32_t links = 0;
    while ((lengths[known] & kLengthMask) == 0) {
      known = static_cast<int32_t>(lengths[known] >> kPrefixShift);
      if (++links > space.capacity || !LzwIsValidCode(known, lastAssigned, highestRoot, reservedCount)) {
        return TailStep::kStop;
      }
    }
    const int32_t knownBytes = static_cast<int32_t>(lengths[known] & kLengthMask);
    stringBytes = knownBytes + links;
    output.position = at;
    if (!LzwReserveOutput(output, stringBytes + kLzwOutputMargin)) return TailStep::kNoMemory;
    unsigned char* const out = output.bytes;
    LzwStoreLittleEndian64(out + at, heads[known]);
    if (knownBytes > 8) CopyString(out + at + 8, out + starts[known] + 8, knownBytes - 8);
    // The last bytes, one per link, then each entry of the chain gets its
    // part of the string (its head held the last byte until then).
    int32_t entry = code;
    for (int32_t end = stringBytes; end > knownBytes; --end) {
      out[at + end - 1] = static_cast<unsigned char>(heads[entry]);
      entry = static_cast<int32_t>(lengths[entry] >> kPrefixShift);
    }
    const uint64_t written = LzwLoadLittleEndian64(out + at);
    entry = code;
    for (int32_t end = stringBytes; end > knownBytes; --end) {
      const int32_t prefix = static_cast<int32_t>(lengths[entry] >> kPrefixShift);
      heads[entry] = HeadOf(written, end);
      if (end > 8) starts[entry] = at;
      lengths[entry] = PackLength(end, prefix);
      entry = prefix;
    }
  } else {
    if (LzwIsReservedCode(code, highestRoot, reservedCount) || !oldAssigned) return TailStep::kStop;
    // Taken as the code this step assigns: the previous string plus its
    // first byte.
    stringBytes = step.previousLength + 1;
    output.position = at;
    if (!LzwReserveOutput(output, stringBytes + kLzwOutputMargin)) return TailStep::kNoMemory;
    unsigned char* const out = output.bytes;
    CopyString(out + at, out + at - step.previousLength, step.previousLength);
    out[at + step.previousLength] = static_cast<unsigned char>(step.previousHead);
  }

  const uint64_t head = HeadOf(LzwLoadLittleEndian64(output.bytes + at), stringBytes);
  if (nextCode <= space.maxCode) {
    if (oldAssigned) {
      AddExpandEntry(heads, starts, lengths, nextCode, step.oldCode, step.previousHead, step.previousLength, at,
                     head & 0xFF);
    } else {
      heads[nextCode] = head & 0xFF;
      lengths[nextCode] = PackLength(0, step.oldCode);
    }
    *width = LzwExpanderWidth(nextCode, *width, space);
    ++step.nextCode;
  }
  step.oldCode = code;
  step.previousLength = stringBytes;
  step.previousHead = head;
  step.outputPosition = at + stringBytes;
  return TailStep::kGoOn;
}

// Makes room in the expander's output for `needed` bytes past
// `outputPosition`, the current step's string of `stringBytes` included; at
// the first shortage (*measured still false) also for the rest of the
// stream as MeasureExpansion finds it. False when memory runs out. Kept out
// of line so that the expander's locals stay in registers.
bool GrowExpandOutput(const LzwCodeSpace& space, LzwOutput& output, int64_t outputPosition, int64_t needed,
                      LzwBitReader reader, int32_t count, int32_t width, int32_t stringBytes,
                      const uint32_t* stringLengths, bool* measured) {
  if (!*measured) {
    *measured = true;
    const size_t codeCount = static_cast<size_t>(space.maxCode) + 1;
    int32_t* lengths = static_cast<int32_t*>(PluginMalloc(codeCount * sizeof(int32_t)));
    if (lengths != nullptr) {
      for (size_t code = 0; code < codeCount; ++code) lengths[code] = static_cast<int32_t>(stringLengths[code] & kLengthMask);
      const ExpandPosition at{count, width, stringBytes, false};
      needed += MeasureExpansion(space, reader, at, lengths);
      PluginFree(lengths);
    }
  }
  output.position = outputPosition;
  return LzwReserveOutput(output, needed);
}

}  // namespace

// ---------------------------------------------------------------------------
// Entry point
// ---------------------------------------------------------------------------

bool LzwExpand(const unsigned char* input, int64_t length, const LzwSettings& settings,
               unsigned char** output, int64_t* outputLength) {
  if (length < 0) length = 0;
  const LzwCodeSpace space = LzwCodeSpaceOf(settings);
  LzwOutput block{};
  if (!LzwStartOutput(block, 2 * length + kLzwOutputSlack)) return LzwFailOutput(block, output, outputLength);
  const size_t codeCount = static_cast<size_t>(space.maxCode) + 1;
  const size_t tableBytes = codeCount * (2 * sizeof(uint64_t) + sizeof(uint32_t));
  const ExpandTables tables{static_cast<uint64_t*>(PluginMalloc(tableBytes)), codeCount};
  if (tables.block == nullptr) return LzwFailOutput(block, output, outputLength);
  std::memset(tables.block, 0, tableBytes);
  uint64_t* const heads = tables.Heads();
  int64_t* const starts = tables.Starts();
  uint32_t* const lengths = tables.Lengths();
  for (int32_t root = 0; root <= space.highestRoot; ++root) {
    heads[root] = static_cast<uint64_t>(root);
    lengths[root] = 1;
  }

  const int32_t highestRoot = space.highestRoot;
  const int32_t clearCode = space.clearCode;
  const int32_t endCode = space.endCode;
  const int32_t capacity = space.capacity;
  const int32_t reservedCount = space.reservedCount;
  int32_t count = reservedCount;
  int32_t width = space.FirstWidth();
  int32_t widensAt = LzwExpanderWidensAt(width);
  LzwBitReader reader{input, length, 0, 0, 0};
  unsigned char* out = block.bytes;
  int64_t outputCapacity = block.capacity;
  int64_t outputPosition = 0;
  bool first = true;
  bool measured = false;
  // The largest code the fast step takes: the next entry's (the KwKwK
  // case; beyond every code once the dictionary is full), and -1 (none) for
  // a dictionary's first code and in a damaged tail.
  int32_t fastLimit = -1;
  int32_t oldCode = -1;
  int64_t previousStart = 0;  // the previous step's string in the output
  int32_t previousLength = 0;
  uint64_t previousHead = 0;  // and its head, so that no step reloads it
  bool failed = false;

  const bool tiffShape = highestRoot == 255 && reservedCount == 2 && codeCount == 4096;
  int32_t code = 0;
  for (;;) {
    // Not a dictionary's first code, not in a damaged tail, and room for
    // more entries at this width.
    const int32_t stopCount = capacity < widensAt - highestRoot - 1 ? capacity : widensAt - highestRoot - 1;
    if (fastLimit >= 0 && count + 4 <= stopCount) {
      ExpandStep step{highestRoot + count + 1, oldCode,          previousLength,
                      previousHead,            outputPosition,   outputCapacity - kLzwOutputMargin,
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
      fastLimit = highestRoot + count + 1;
    }
    if (!reader.Next(width, &code)) break;
    // One test sends every code the fast step cannot take (the reserved
    // codes, a dictionary's first code, codes beyond the next entry, every
    // code of a damaged tail) to the cases of this block.
    if (!LzwIsValidCode(code, fastLimit, highestRoot, reservedCount)) {
      if (code == endCode) break;
      if (code == clearCode) {
        // Entries are written in order and the reserved ones never change, so
        // a new dictionary is only a count.
        count = reservedCount;
        width = space.FirstWidth();
        widensAt = LzwExpanderWidensAt(width);
        first = true;
        fastLimit = -1;
        continue;
      }
      if (first) {
        if (!LzwIsValidFirstCode(code, highestRoot)) break;
        if (outputCapacity - outputPosition < kLzwOutputMargin) {
          if (!GrowExpandOutput(space, block, outputPosition, 1 + kLzwOutputMargin, reader, count, width, 1, lengths,
                                &measured)) {
            failed = true;
            break;
          }
          out = block.bytes;
          outputCapacity = block.capacity;
        }
        previousStart = outputPosition;
        previousLength = 1;
        previousHead = static_cast<uint64_t>(code);
        out[outputPosition++] = static_cast<unsigned char>(code);
        oldCode = code;
        first = false;
        fastLimit = highestRoot + count + 1;
        continue;
      }
      // An invalid code, or any code after one in this dictionary.
      ExpandStep step{highestRoot + count + 1, oldCode, previousLength, previousHead, outputPosition, 0, 0};
      const TailStep result = ExpandDamagedStep(code, space, tables, block, step, &width);
      if (result == TailStep::kNoMemory) {
        failed = true;
        break;
      }
      if (result == TailStep::kStop) break;
      count = step.nextCode - highestRoot - 1;
      widensAt = LzwExpanderWidensAt(width);
      oldCode = step.oldCode;
      previousLength = step.previousLength;
      previousHead = step.previousHead;
      outputPosition = step.outputPosition;
      previousStart = outputPosition - previousLength;
      out = block.bytes;
      outputCapacity = block.capacity;
      fastLimit = -1;
      continue;
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
      fastLimit = nextCode + 1;
      if (nextCode >= widensAt) {
        width = LzwExpanderWidth(nextCode, width, space);
        widensAt = LzwExpanderWidensAt(width);
      }
    }
    const int32_t stringBytes = static_cast<int32_t>(lengths[code] & kLengthMask);
    if (outputCapacity - outputPosition < stringBytes + kLzwOutputMargin) {
      if (!GrowExpandOutput(space, block, outputPosition, stringBytes + kLzwOutputMargin, reader, count, width,
                            stringBytes, lengths, &measured)) {
        failed = true;
        break;
      }
      out = block.bytes;
      outputCapacity = block.capacity;
    }
    LzwStoreLittleEndian64(out + outputPosition, head);
    if (stringBytes > 8) CopyString(out + outputPosition + 8, out + starts[code] + 8, stringBytes - 8);
    previousStart = outputPosition;
    previousLength = stringBytes;
    previousHead = head;
    outputPosition += stringBytes;
    oldCode = code;
  }
  PluginFree(tables.block);
  if (failed) return LzwFailOutput(block, output, outputLength);
  block.position = outputPosition;
  LzwFinishOutput(block, output, outputLength);
  return true;
}
