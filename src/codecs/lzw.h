// The LZW codec: a configurable Lempel-Ziv-Welch compressor and expander
// behind command 45, and the horizontal-differencing predictor.
//
// The stream (docs/lzw-stream.md): codes of variable width packed most
// significant bit first; roots of 3 to 8 bits; codes up to 14 bits; an
// optional clear code (highestRoot + 1) and end code (highestRoot + 2). With
// 8-bit roots, 12-bit codes and both codes on and written, it is the LZW of
// TIFF (compression 5) and of PDF's LZWDecode with EarlyChange 1.
//
// Each call owns its work buffers and frees them before it returns: the
// entry points are thread-safe. RunLzwCodec is the command without the host.
#pragma once

#include <cstdint>

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
// Predictor (lzw_predictor.cpp)
// ---------------------------------------------------------------------------

// Horizontal differencing in place: in each whole row of pixelsPerRow x
// bytesPerPixel bytes, every byte but the first pixel's becomes itself minus
// the byte bytesPerPixel before it (mod 256). Bytes after the last whole row
// are left as they are.
void LzwApplyPredictor(int64_t pixelsPerRow, int64_t bytesPerPixel, unsigned char* data, int64_t length);

// ---------------------------------------------------------------------------
// Whole streams (lzw_compress.cpp, lzw_expand.cpp)
// ---------------------------------------------------------------------------

// Each gives a PluginMalloc block owned by the caller (null and 0 for an
// empty result) and returns false, with no block, when memory runs out or
// (compression) an input byte is above the highest root.
bool LzwCompress(const unsigned char* input, int64_t length, const LzwSettings& settings,
                 unsigned char** output, int64_t* outputLength);
bool LzwExpand(const unsigned char* input, int64_t length, const LzwSettings& settings,
               unsigned char** output, int64_t* outputLength);

// ---------------------------------------------------------------------------
// Command 45 (lzw.cpp)
// ---------------------------------------------------------------------------

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

// The mode's low 8 bits.
inline constexpr unsigned kLzwModeExpand = 0;
inline constexpr unsigned kLzwModeCompress = 1;
inline constexpr unsigned kLzwModePredictor = 2;

// clearCodes and endCode: the low bit turns the code on, any bit of the next
// 8 writes it (at the start, or at the end, of the stream).
constexpr bool LzwCodeOn(uint16_t option) { return option % 2 == 1; }
constexpr bool LzwCodeWritten(uint16_t option) { return ((option / 2) & 0xFF) != 0; }

LzwSettings LzwSettingsFromRequest(const LzwCodecRequest& request);
// The command's work. The input is only read: the predictor (mode 2) works
// on a copy of its own. False, with no block, for a mode outside 0..2 and
// every failure above.
bool RunLzwCodec(const LzwCodecRequest& request, const unsigned char* input, int64_t length,
                 unsigned char** output, int64_t* outputLength);
