// The LZW compressor: LzwCompress over one hashed dictionary index.
//
// The stream it writes is laid out in lzw_stream.h; the code space, the
// width rule and the packer come from there. Invariants: within one
// dictionary every (prefix, suffix) pair is entered at most once (an entry
// is added only after the lookup of that same pair failed, and entries go
// only with the whole dictionary), so "the entry with this pair" is unique
// and the hash index answers exactly as a first-match linear scan over the
// entries would (tests/codecs/lzw_reference.h keeps that scan and the tests
// compare streams byte for byte). The comparison shortcut below only finds
// the same entries sooner; it never changes which code is written.
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
// Reference: Welch, "A Technique for High-Performance Data Compression",
// IEEE Computer 17(6), 1984.
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/plugin_heap.h"
#include "codecs/lzw.h"
#include "codecs/lzw_stream.h"

namespace {

// Shorter strings are found as fast by walking the dictionary as by
// comparing them with an earlier occurrence (page benchmark).
constexpr int32_t kShortestJump = 4;
// Candidates shorter than this are not compared at all: on incompressible
// data every string is that short and the comparisons only cost time.
constexpr int32_t kShortestCandidate = 8;

// ---------------------------------------------------------------------------
// Lookup helpers
// ---------------------------------------------------------------------------

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
int32_t IndexSlotBits(const LzwCodeSpace& space, int64_t length) {
  const int64_t codesAssigned = length < space.capacity ? length : space.capacity;
  int32_t slotBits = space.rootBits + 1;
  while (slotBits < space.maxBits + 1 && (int64_t{1} << slotBits) < 2 * codesAssigned) ++slotBits;
  return slotBits;
}

// ---------------------------------------------------------------------------
// Compression
// ---------------------------------------------------------------------------

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
// kCodeBits and kHashShift, when not 0, are the values the code space and
// IndexSlotBits give (TIFF's shape on a long input has a copy of its own):
// as constants they turn the lookup's shifts into immediates and leave
// registers for the loop's other values.
template <typename Slot, int32_t kCodeBits = 0, int32_t kHashShift = 0>
bool CompressWithIndex(const LzwCodeSpace& space, LzwOutput& output, const unsigned char* input, int64_t length,
                       const LzwSettings& settings) {
  const int32_t highestRoot = space.highestRoot;
  const int32_t limit = space.maxCode - 1;  // the last code a dictionary assigns
  const int32_t codeBits = kCodeBits != 0 ? kCodeBits : space.maxBits;
  const Slot codeMask = (Slot{1} << codeBits) - 1;
  const int64_t codesAssigned = length < space.capacity ? length : space.capacity;
  const int32_t slotBits = IndexSlotBits(space, length);
  const uint32_t slotMask = (1u << slotBits) - 1;
  const int32_t hashShift = kHashShift != 0 ? kHashShift : slotBits - space.rootBits;
  const size_t slotCount = size_t{1} << slotBits;
  const int64_t highestCode = static_cast<int64_t>(highestRoot) + space.reservedCount + codesAssigned;
  const size_t codeCount = static_cast<size_t>(highestCode < space.maxCode ? highestCode : space.maxCode) + 1;

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

  const int32_t reservedCount = space.reservedCount;
  int32_t count = reservedCount;
  int32_t width = space.FirstWidth();
  int32_t widthLimit = LzwWidthLimit(width);
  bool frozen = false;
  int32_t longestInDictionary = 0;  // the longest string with records (see below)
  unsigned char* out = output.bytes;
  int64_t capacity = output.capacity;
  LzwBitPacker packer{0, 0, 0};

  if (space.clearCode >= 0 && settings.clearWritten) packer.Put(out, static_cast<uint32_t>(space.clearCode), width);

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
    if (capacity - packer.position < kLzwOutputMargin) {
      output.position = packer.position;
      if (!LzwReserveOutput(output, kLzwOutputMargin)) {
        done = false;
        break;
      }
      out = output.bytes;
      capacity = output.capacity;
    }
    packer.Put(out, prefix, width);
    if (!frozen && count + 1 <= space.capacity) {
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
        width = LzwCompressorWidth(code, width, space);
        widthLimit = LzwWidthLimit(width);
      }
      if (code >= limit) {
        if (space.clearCode >= 0) {
          packer.Put(out, static_cast<uint32_t>(space.clearCode), width);
          std::memset(index, 0, slotCount * sizeof(Slot));
          for (int32_t& recentCode : recent) recentCode = -1;
          for (int32_t& longestCode : longest) longestCode = -1;
          longestInDictionary = 0;
          count = reservedCount;
          width = space.FirstWidth();
          widthLimit = LzwWidthLimit(width);
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

  if (done && capacity - packer.position < kLzwOutputMargin) {
    output.position = packer.position;
    done = LzwReserveOutput(output, kLzwOutputMargin);
    out = output.bytes;
  }
  if (done) {
    packer.Put(out, prefix, width);
    if (space.endCode >= 0 && settings.endWritten) {
      // The width the expander reads it with, once it has assigned the
      // last code this dictionary assigned.
      if (!frozen && count > reservedCount) width = LzwExpanderWidth(highestRoot + count, width, space);
      packer.Put(out, static_cast<uint32_t>(space.endCode), width);
    }
    packer.Flush(out);
    output.position = packer.position;
  }
  PluginFree(index);
  PluginFree(stringStart);
  PluginFree(stringLength);
  PluginFree(stringPrefix);
  return done;
}


}  // namespace

// ---------------------------------------------------------------------------
// Entry point
// ---------------------------------------------------------------------------

bool LzwCompress(const unsigned char* input, int64_t length, const LzwSettings& settings,
                 unsigned char** output, int64_t* outputLength) {
  const LzwCodeSpace space = LzwCodeSpaceOf(settings);
  LzwOutput block{};
  if (!LzwStartOutput(block, length / 2 + kLzwOutputSlack)) {
    return LzwFailOutput(block, output, outputLength);
  }
  if (length <= 0) {
    LzwFinishOutput(block, output, outputLength);
    return true;
  }
  if (space.highestRoot < 255) {
    // A byte outside the roots fails the whole call, wherever it stands.
    const unsigned char highestRoot = static_cast<unsigned char>(space.highestRoot);
    unsigned char highest = 0;
    for (int64_t position = 0; position < length; ++position) highest |= input[position] > highestRoot;
    if (highest != 0) return LzwFailOutput(block, output, outputLength);
  }
  bool done = false;
  if (space.maxBits == 12 && space.rootBits == 8 && IndexSlotBits(space, length) == 13) {
    done = CompressWithIndex<uint32_t, 12, 5>(space, block, input, length, settings);
  } else if (space.maxBits <= 12) {
    done = CompressWithIndex<uint32_t>(space, block, input, length, settings);
  } else {
    done = CompressWithIndex<uint64_t>(space, block, input, length, settings);
  }
  if (!done) return LzwFailOutput(block, output, outputLength);
  LzwFinishOutput(block, output, outputLength);
  return true;
}
