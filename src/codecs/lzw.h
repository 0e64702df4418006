// The LZW codec: a configurable Lempel-Ziv-Welch compressor and expander
// behind command 45, and the horizontal-differencing predictor.
//
// The stream (docs/lzw-stream.md): codes of variable width packed most
// significant bit first; roots of 3 to 8 bits; codes up to 14 bits; an
// optional clear code (highestRoot + 1) and end code (highestRoot + 2). With
// 8-bit roots, 12-bit codes and both codes on and written, it is the LZW of
// TIFF (compression 5) and of PDF's LZWDecode with EarlyChange 1.
//
// LzwEngine is a plain record owned by the caller for one call (a local):
// LzwSetUp allocates it, LzwRelease frees everything it holds. The operations
// below are its whole interface; RunLzwCodec is the command without the host.
#pragma once

#include <cstdint>

// One slot of the compressor's index from (prefix, suffix) to a code. A slot
// belongs to the current dictionary only when its generation matches.
struct LzwIndexSlot {
  uint32_t key;  // prefix << 8 | suffix
  int32_t code;
  uint32_t generation;
};

struct LzwEngine {
  // Code space, fixed by LzwSetUp.
  int32_t rootBits;         // bits per input symbol, 3..8
  int32_t highestRoot;      // 2^rootBits - 1: codes 0..highestRoot are single bytes
  int32_t maxBits;          // largest code width, rootBits + 1 .. 14
  int32_t maxCode;          // 2^maxBits - 1
  int32_t clearCode;        // highestRoot + 1, or -1 when clear codes are off
  int32_t endCode;          // highestRoot + 2, or -1 when the end code is off
  int32_t widthLimits[32];  // entry w is 2^w - 1 (31: 0x7FFFFFFF)

  // Dictionary: entry j (1..capacity) is code highestRoot + j.
  int32_t capacity;       // maxCode - highestRoot
  int32_t count;          // entries in use, reserved ones included
  int32_t reservedCount;  // entries the clear and end codes hold (0, 1 or 2)
  int32_t* prefixes;      // capacity + 1 entries; -1 when empty, the code itself when reserved
  int16_t* suffixes;      // capacity + 1 entries; -1 when empty or reserved
  bool frozen;            // compressor without clear codes: dictionary full, kept as it is

  // Compressor index (null when expanding).
  LzwIndexSlot* index;
  uint32_t indexMask;   // slot count - 1 (a power of two)
  int32_t indexShift;   // 32 - log2(slot count)
  uint32_t generation;  // bumped by every new dictionary

  // Bit packing.
  int32_t codeWidth;   // current code width in bits
  uint32_t bitBuffer;  // pending bits, aligned to the most significant end
  int32_t bitCount;    // number of pending bits

  // Expansion.
  int64_t inputPosition;
  unsigned char* decodeStack;  // one string, last byte at the bottom
  int32_t stackSize;           // capacity + 10: the longest string plus one byte
  int32_t stackTop;            // -1 when empty

  // Output, grown geometrically; handed to the caller on success.
  unsigned char* output;
  int64_t outputCapacity;
  int64_t outputPosition;
};

// The stream shape as the command's parameters give it, already decoded.
struct LzwSettings {
  int32_t rootBits;  // -1 gives 8, below 3 gives 3, above 8 gives 8
  int32_t maxBits;   // clamped to rootBits + 1 .. 14
  bool clearOn;
  bool clearWritten;  // a clear code starts the stream (with clearOn)
  bool endOn;
  bool endWritten;  // an end code closes the stream (with endOn)
};

// ---------------------------------------------------------------------------
// Engine operations
// ---------------------------------------------------------------------------

// Frees everything and zeroes the engine (clearCode and endCode -1).
void LzwRelease(LzwEngine& engine);
// Release, clamp the sizes, allocate (with the compressor's index when asked)
// and start an empty dictionary. False when memory runs out (engine released).
bool LzwSetUp(LzwEngine& engine, const LzwSettings& settings, bool forCompression);
// An empty dictionary holding only the reserved entries; width rootBits + 1.
void LzwNewDictionary(LzwEngine& engine);
// Adds (prefix, suffix) and returns its code, or -1 when full. widthRule 1
// (compression) adjusts the width for the new code, 2 (expansion) for the
// code after it.
int32_t LzwAddString(LzwEngine& engine, int32_t prefix, int32_t suffix, int widthRule);
// The code of (prefix, suffix) in the current dictionary, or -1.
int32_t LzwFindString(const LzwEngine& engine, int32_t prefix, int32_t suffix);
bool LzwIsKnownCode(const LzwEngine& engine, int32_t code);
void LzwAdjustWidth(LzwEngine& engine, int32_t code);
// Appends a code of codeWidth bits to the output. False when the output
// cannot grow.
bool LzwWriteCode(LzwEngine& engine, int32_t code);
// Writes the pending bits padded with zeros. False when the output cannot grow.
bool LzwFlush(LzwEngine& engine);
// The next code of codeWidth bits, or 2^codeWidth when the input is exhausted.
int32_t LzwReadCode(LzwEngine& engine, const unsigned char* input, int64_t length);
// Pushes the code's bytes on the decode stack, last byte first. False when
// the chain meets an entry without a string or outgrows the stack (only a
// corrupt stream can do either).
bool LzwPushString(LzwEngine& engine, int32_t code);
// Writes the code's string, then extraByte when it is 0..255, to the output.
// Returns the string's first byte, kLzwCorruptCode or kLzwNoMemory.
inline constexpr int32_t kLzwCorruptCode = -1;
inline constexpr int32_t kLzwNoMemory = -2;
int32_t LzwEmitString(LzwEngine& engine, int32_t code, int32_t extraByte);

// Horizontal differencing in place: in each whole row of pixelsPerRow x
// bytesPerPixel bytes, every byte but the first pixel's becomes itself minus
// the byte bytesPerPixel before it (mod 256). Bytes after the last whole row
// are left as they are.
void LzwApplyPredictor(int64_t pixelsPerRow, int64_t bytesPerPixel, unsigned char* data, int64_t length);

// ---------------------------------------------------------------------------
// Whole streams
// ---------------------------------------------------------------------------

// Each gives a PluginMalloc block owned by the caller (null and 0 for an
// empty result) and returns false, with no block, when memory runs out or
// (compression) an input byte is above the highest root.
bool LzwCompress(const unsigned char* input, int64_t length, const LzwSettings& settings,
                 unsigned char** output, int64_t* outputLength);
bool LzwExpand(const unsigned char* input, int64_t length, const LzwSettings& settings,
               unsigned char** output, int64_t* outputLength);

// Command 45's parameters, as read from the host (16-bit ones zero-extended).
struct LzwCodecRequest {
  uint16_t mode;  // low 8 bits: 0 expand, 1 compress, 2 predictor then compress
  uint16_t clearCodes;
  uint16_t endCode;
  uint16_t pixelsPerRow;
  uint16_t bytesPerPixel;
  int32_t rootBits;
  int32_t maxBits;
};

LzwSettings LzwSettingsFromRequest(const LzwCodecRequest& request);
// The command's work. The input is only read: the predictor (mode 2) works
// on a copy of its own. False, with no block, for a mode outside 0..2 and
// every failure above.
bool RunLzwCodec(const LzwCodecRequest& request, const unsigned char* input, int64_t length,
                 unsigned char** output, int64_t* outputLength);
