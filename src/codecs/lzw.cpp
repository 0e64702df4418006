// Command 45 without the host: its parameters decoded into stream settings,
// and the mode dispatched to the compressor (lzw_compress.cpp), the expander
// (lzw_expand.cpp) or the predictor (lzw_predictor.cpp) then the compressor.
// The input is only read; every result block is the caller's, and a failure
// leaves no block behind.
#include "codecs/lzw.h"

#include <cstddef>
#include <cstring>

#include "base/plugin_heap.h"
#include "codecs/lzw_stream.h"

LzwSettings LzwSettingsFromRequest(const LzwCodecRequest& request) {
  LzwSettings settings{};
  settings.rootBits = request.rootBits;
  settings.maxBits = LzwClampMaxBits(request.maxBits, LzwClampRootBits(request.rootBits));
  settings.clearOn = LzwCodeOn(request.clearCodes);
  settings.clearWritten = LzwCodeWritten(request.clearCodes);
  settings.endOn = LzwCodeOn(request.endCode);
  settings.endWritten = LzwCodeWritten(request.endCode);
  return settings;
}

bool RunLzwCodec(const LzwCodecRequest& request, const unsigned char* input, int64_t length,
                 unsigned char** output, int64_t* outputLength) {
  *output = nullptr;
  *outputLength = 0;
  const unsigned mode = request.mode & 0xFF;
  if (mode > kLzwModePredictor) return false;
  const LzwSettings settings = LzwSettingsFromRequest(request);
  if (mode == kLzwModeExpand) return LzwExpand(input, length, settings, output, outputLength);
  if (mode == kLzwModeCompress) return LzwCompress(input, length, settings, output, outputLength);
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
