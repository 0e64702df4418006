// Fuzz target: command 45's TIFF strips against libtiff's LZW (compression 5),
// both ways, in memory.
//
// The data becomes one strip of an 8-bit image of 1..4 samples per pixel,
// cut to whole rows, with predictor 1 (none) or 2 (horizontal differencing).
// Command 45 compresses it with TIFF's stream settings (clear and end codes
// on and written, 8-bit roots, 12-bit codes; mode 2 for the predictor) and
// libtiff must read the strip back to the data; libtiff compresses it and
// command 45 must expand the raw strip to the data (for predictor 2 to the
// differenced data: the expander never undoes the predictor). Inputs too
// short to fill one dictionary also give byte-identical streams.
//
// Where the streams may differ by design: libtiff starts a new dictionary
// after assigning code 4093, ours after 4094, and libtiff may also restart
// when its ratio falls (checked every 10000 input bytes). Both decoders
// follow whatever the stream holds, so the decoded checks hold at every
// length; only the stream comparison is limited to inputs of fewer than
// 3836 bytes (n bytes assign at most n - 1 of the 3836 codes 258..4093).
//
// Input: byte 0 picks the predictor (bit 0) and samples per pixel (bits
// 1..2), bytes 1..2 the width in pixels; the rest is the data. libtiff runs
// on an in-memory file (TIFFClientOpen), so no input touches the disk.
#include "fuzz_target.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>

#include "base/plugin_heap.h"
#include "codecs/lzw.h"

namespace lzw_tiff_fuzz {

using Bytes = std::vector<unsigned char>;

constexpr size_t kSameStreamBelow = 3836;

// A growable file in memory for libtiff's client callbacks.
struct MemoryFile {
  Bytes bytes;
  toff_t position = 0;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (size < 0 || file->position >= file->bytes.size()) return 0;
  const size_t count = std::min(size_t(size), size_t(file->bytes.size() - file->position));
  std::memcpy(buffer, file->bytes.data() + file->position, count);
  file->position += count;
  return tmsize_t(count);
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (size < 0) return 0;
  if (file->position + size_t(size) > file->bytes.size()) file->bytes.resize(file->position + size_t(size));
  std::memcpy(file->bytes.data() + file->position, buffer, size_t(size));
  file->position += size_t(size);
  return size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (whence == SEEK_CUR) offset += file->position;
  if (whence == SEEK_END) offset += file->bytes.size();
  file->position = offset;
  return offset;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

TIFF* OpenMemory(MemoryFile* file, const char* mode) {
  file->position = 0;
  return TIFFClientOpen("memory", mode, file, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                        UnmapProc);
}

struct Strip {
  uint32_t width;
  uint32_t rows;
  uint16_t samples;
  uint16_t predictor;
  Bytes data;
};

void SetTags(TIFF* tiff, const Strip& strip) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, strip.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, strip.rows);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, strip.samples);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, strip.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  if (strip.samples == 2 || strip.samples == 4) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, strip.rows);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_PREDICTOR, strip.predictor);
}

// Command 45 with the settings it takes for TIFF strips.
Bytes RunCommand(unsigned mode, const Strip& strip, const Bytes& input) {
  LzwCodecRequest request{};
  request.mode = uint16_t(mode);
  request.clearCodes = 3;
  request.endCode = 3;
  request.pixelsPerRow = uint16_t(strip.width);
  request.bytesPerPixel = strip.samples;
  request.rootBits = -1;
  request.maxBits = 12;
  unsigned char* output = nullptr;
  int64_t length = 0;
  const bool done = RunLzwCodec(request, input.data(), int64_t(input.size()), &output, &length);
  LQM_FUZZ_CHECK(done);
  Bytes result(output, output + (output != nullptr ? length : 0));
  PluginFree(output);
  return result;
}

// libtiff's reading of a raw strip written into a fresh file.
Bytes LibtiffDecode(const Strip& strip, Bytes stream) {
  MemoryFile file;
  TIFF* out = OpenMemory(&file, "w");
  LQM_FUZZ_CHECK(out != nullptr);
  if (out == nullptr) return {};
  SetTags(out, strip);
  LQM_FUZZ_CHECK(TIFFWriteRawStrip(out, 0, stream.data(), tmsize_t(stream.size())) >= 0);
  TIFFClose(out);

  TIFF* in = OpenMemory(&file, "r");
  LQM_FUZZ_CHECK(in != nullptr);
  if (in == nullptr) return {};
  Bytes decoded(strip.data.size());
  const tmsize_t read = TIFFReadEncodedStrip(in, 0, decoded.data(), tmsize_t(decoded.size()));
  TIFFClose(in);
  decoded.resize(read > 0 ? size_t(read) : 0);
  return decoded;
}

// libtiff's own compression of the strip, as the raw bytes it stores.
Bytes LibtiffEncode(const Strip& strip) {
  MemoryFile file;
  TIFF* out = OpenMemory(&file, "w");
  LQM_FUZZ_CHECK(out != nullptr);
  if (out == nullptr) return {};
  SetTags(out, strip);
  // The predictor differences the buffer it is given: hand it a copy.
  Bytes copy = strip.data;
  LQM_FUZZ_CHECK(TIFFWriteEncodedStrip(out, 0, copy.data(), tmsize_t(copy.size())) >= 0);
  TIFFClose(out);

  TIFF* in = OpenMemory(&file, "r");
  LQM_FUZZ_CHECK(in != nullptr);
  if (in == nullptr) return {};
  Bytes raw(size_t(std::max<tmsize_t>(TIFFRawStripSize(in, 0), 0)));
  const tmsize_t read = TIFFReadRawStrip(in, 0, raw.data(), tmsize_t(raw.size()));
  TIFFClose(in);
  LQM_FUZZ_CHECK(read == tmsize_t(raw.size()));
  return raw;
}

void Quiet(const char*, const char*, va_list) {}

int FuzzLzwTiff(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    // Warnings about the tags of a minimal file are not findings.
    TIFFSetErrorHandler(Quiet);
    TIFFSetWarningHandler(Quiet);
    return true;
  }();
  (void)quiet;

  lqm_fuzz::FuzzInput in(data, size);
  const uint8_t shape = in.Byte();
  Strip strip{};
  strip.predictor = (shape & 1) ? 2 : 1;
  strip.samples = uint16_t(1 + (shape >> 1) % 4);
  strip.width = 1 + in.Uint16() % 1024;
  strip.data = in.Rest();
  // The command's pixel count is 16-bit; whole rows only, as a strip holds.
  if (strip.data.size() < strip.samples) return 0;
  if (size_t(strip.width) * strip.samples > strip.data.size()) {
    strip.width = uint32_t(std::min<size_t>(strip.data.size() / strip.samples, 65535));
  }
  const size_t rowBytes = size_t(strip.width) * strip.samples;
  strip.rows = uint32_t(strip.data.size() / rowBytes);
  strip.data.resize(strip.rows * rowBytes);

  const Bytes ours = RunCommand(strip.predictor == 2 ? kLzwModePredictor : kLzwModeCompress, strip, strip.data);
  LQM_FUZZ_CHECK(LibtiffDecode(strip, ours) == strip.data);

  const Bytes theirs = LibtiffEncode(strip);
  Bytes expected = strip.data;
  if (strip.predictor == 2) {
    LzwApplyPredictor(strip.width, strip.samples, expected.data(), int64_t(expected.size()));
  }
  LQM_FUZZ_CHECK(RunCommand(kLzwModeExpand, strip, theirs) == expected);

  if (strip.data.size() < kSameStreamBelow) LQM_FUZZ_CHECK(ours == theirs);
  return 0;
}

}  // namespace lzw_tiff_fuzz

LQM_FUZZ_ENTRY(lzw_tiff_fuzz::FuzzLzwTiff)
