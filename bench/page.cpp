// The synthetic printed page for the LZW benchmarks: an A4 page at 300 dpi
// (2480 x 3508 RGB), white, with lines of black text-like strokes, two
// coloured boxes and a grey gradient band, so the compressors see the long
// white runs, short repeated patterns and smooth areas of a real printout.
// A fixed generator makes it the same on every run.
#include <random>

#include "bench_support.h"

namespace {

void Fill(BenchBytes& page, int left, int top, int width, int height, unsigned char r, unsigned char g,
          unsigned char b) {
  for (int y = top; y < top + height && y < kPageHeight; ++y) {
    for (int x = left; x < left + width && x < kPageWidth; ++x) {
      unsigned char* pixel = page.data() + 3 * (static_cast<size_t>(y) * kPageWidth + x);
      pixel[0] = r;
      pixel[1] = g;
      pixel[2] = b;
    }
  }
}

BenchBytes BuildPage() {
  BenchBytes page(static_cast<size_t>(kPageWidth) * kPageHeight * 3, 255);
  std::mt19937 random(2480);
  // Text: 12-point lines (50 px apart) of words made of 2..4 px strokes.
  for (int line = 300; line < 3200; line += 50) {
    int x = 250;
    while (x < kPageWidth - 250) {
      const int word = 40 + static_cast<int>(random() % 160);
      for (int stroke = x; stroke < x + word; stroke += 6 + static_cast<int>(random() % 6)) {
        const int strokeHeight = 18 + static_cast<int>(random() % 14);
        Fill(page, stroke, line + 32 - strokeHeight, 2 + static_cast<int>(random() % 3), strokeHeight, 0, 0, 0);
      }
      x += word + 25;
    }
  }
  Fill(page, 250, 120, 900, 120, 200, 30, 40);     // a red heading box
  Fill(page, 1500, 2200, 700, 500, 30, 90, 200);   // a blue picture
  for (int y = 3250; y < 3400; ++y) {              // a grey gradient band
    for (int x = 250; x < kPageWidth - 250; ++x) {
      const unsigned char grey = static_cast<unsigned char>(80 + (x * 150) / kPageWidth);
      Fill(page, x, y, 1, 1, grey, grey, grey);
    }
  }
  return page;
}

}  // namespace

const BenchBytes& PrintedPage() {
  static const BenchBytes page = BuildPage();
  return page;
}
