// TIFF's horizontal differencing (predictor 2 for 8-bit samples), applied
// before compression by command 45's mode 2. It works in place and only on
// whole rows: bytes after the last whole row are left as they are, and
// nothing undoes it on expansion. Every byte but a row's first pixel
// becomes itself minus the byte bytesPerPixel before it (mod 256), always
// computed from the original bytes.
//
// Reference: TIFF 6.0, section 14.
#include <cstring>

#include "codecs/lzw.h"

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
