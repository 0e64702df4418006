// LZW interoperability with libtiff (TIFF compression 5, predictor 1 and 2).
//
// Strips compressed by command 45's logic (clear 3, end 3, 8-bit roots,
// 12-bit codes; mode 2 for the horizontal predictor) are written raw into a
// TIFF file and read back by libtiff to the same pixels; strips that libtiff
// compressed are read raw and expanded by ours to the same bytes (for
// predictor 2 the differenced bytes: the expander never undoes it).
//
// Where the streams differ by design: libtiff starts a new dictionary after
// assigning code 4093, ours after 4094 (one more string per dictionary), and
// libtiff may also restart early when its compression ratio falls (checked
// every 10000 input bytes). Before either can happen (inputs shorter than
// the 3838 strings of one dictionary) the two streams are byte-identical,
// which the last test checks.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "codecs/lzw.h"
#include "base/plugin_heap.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Image {
  uint32_t width, height;
  uint16_t samplesPerPixel;
  uint32_t rowsPerStrip;
  Bytes pixels;

  size_t RowBytes() const { return static_cast<size_t>(width) * samplesPerPixel; }
  uint32_t StripCount() const { return (height + rowsPerStrip - 1) / rowsPerStrip; }
  Bytes Strip(uint32_t strip) const {
    const size_t begin = strip * rowsPerStrip * RowBytes();
    const size_t end = std::min(pixels.size(), begin + rowsPerStrip * RowBytes());
    return Bytes(pixels.begin() + static_cast<std::ptrdiff_t>(begin), pixels.begin() + static_cast<std::ptrdiff_t>(end));
  }
};

// Smooth gradients with some noise: enough repetition for long strings and
// enough variety to fill and restart the 12-bit dictionary on large strips.
Image MakeImage(uint32_t width, uint32_t height, uint16_t samplesPerPixel, uint32_t rowsPerStrip, int noise,
                uint32_t seed) {
  Image image{width, height, samplesPerPixel, rowsPerStrip, {}};
  std::mt19937 random(seed);
  image.pixels.resize(static_cast<size_t>(width) * height * samplesPerPixel);
  size_t position = 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      for (uint16_t sample = 0; sample < samplesPerPixel; ++sample) {
        const int value = static_cast<int>((x * (sample + 1) + y * 2) / 3) + (noise ? static_cast<int>(random() % noise) : 0);
        image.pixels[position++] = static_cast<unsigned char>(value);
      }
    }
  }
  return image;
}

std::string TempPath() {
  char path[] = "/tmp/lqm_lzw_XXXXXX";
  const int descriptor = mkstemp(path);
  if (descriptor >= 0) close(descriptor);
  return path;
}

void SetTags(TIFF* tiff, const Image& image, uint16_t predictor) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, image.samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, image.samplesPerPixel == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, image.rowsPerStrip);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_PREDICTOR, predictor);
}

// Command 45 with TIFF's stream settings.
LzwCodecRequest TiffRequest(unsigned mode, const Image& image) {
  LzwCodecRequest request{};
  request.mode = static_cast<uint16_t>(mode);
  request.clearCodes = 3;
  request.endCode = 3;
  request.pixelsPerRow = static_cast<uint16_t>(image.width);
  request.bytesPerPixel = image.samplesPerPixel;
  request.rootBits = -1;
  request.maxBits = 12;
  return request;
}

Bytes RunCodec(const LzwCodecRequest& request, Bytes input) {
  unsigned char* output = nullptr;
  int64_t length = 0;
  EXPECT_TRUE(RunLzwCodec(request, input.data(), static_cast<int64_t>(input.size()), &output, &length));
  Bytes result(output, output + length);
  PluginFree(output);
  return result;
}

Bytes Differenced(const Image& image, Bytes strip) {
  LzwApplyPredictor(image.width, image.samplesPerPixel, strip.data(), static_cast<int64_t>(strip.size()));
  return strip;
}

// Writes every strip with libtiff's own LZW and returns the raw strips.
std::vector<Bytes> LibtiffStrips(const Image& image, uint16_t predictor) {
  const std::string path = TempPath();
  TIFF* out = TIFFOpen(path.c_str(), "w");
  EXPECT_NE(out, nullptr);
  SetTags(out, image, predictor);
  for (uint32_t strip = 0; strip < image.StripCount(); ++strip) {
    Bytes bytes = image.Strip(strip);
    EXPECT_GE(TIFFWriteEncodedStrip(out, strip, bytes.data(), static_cast<tmsize_t>(bytes.size())), 0);
  }
  TIFFClose(out);
  std::vector<Bytes> strips;
  TIFF* in = TIFFOpen(path.c_str(), "r");
  EXPECT_NE(in, nullptr);
  for (uint32_t strip = 0; strip < image.StripCount(); ++strip) {
    Bytes raw(static_cast<size_t>(TIFFRawStripSize(in, strip)));
    EXPECT_EQ(TIFFReadRawStrip(in, strip, raw.data(), static_cast<tmsize_t>(raw.size())),
              static_cast<tmsize_t>(raw.size()));
    strips.push_back(raw);
  }
  TIFFClose(in);
  std::remove(path.c_str());
  return strips;
}

struct ImageCase {
  const char* label;
  uint32_t width, height;
  uint16_t samplesPerPixel;
  uint32_t rowsPerStrip;
  int noise;
};

// Large noisy strips fill and restart the dictionary many times.
const ImageCase kImageCases[] = {
    {"gray, one strip, smooth", 200, 150, 1, 150, 0},
    {"gray, several strips, noisy", 333, 200, 1, 64, 40},
    {"RGB, one large noisy strip", 400, 300, 3, 300, 200},
    {"RGB, odd width, strips of 7 rows", 97, 61, 3, 7, 9},
};

TEST(LzwTiff, OurStripsReadBackThroughLibtiff) {
  for (const auto& imageCase : kImageCases) {
    const Image image = MakeImage(imageCase.width, imageCase.height, imageCase.samplesPerPixel,
                                  imageCase.rowsPerStrip, imageCase.noise, 1);
    for (uint16_t predictor : {uint16_t{1}, uint16_t{2}}) {
      const std::string path = TempPath();
      TIFF* out = TIFFOpen(path.c_str(), "w");
      ASSERT_NE(out, nullptr);
      SetTags(out, image, predictor);
      for (uint32_t strip = 0; strip < image.StripCount(); ++strip) {
        Bytes stream = RunCodec(TiffRequest(predictor == 2 ? 2 : 1, image), image.Strip(strip));
        ASSERT_GE(TIFFWriteRawStrip(out, strip, stream.data(), static_cast<tmsize_t>(stream.size())), 0);
      }
      TIFFClose(out);

      TIFF* in = TIFFOpen(path.c_str(), "r");
      ASSERT_NE(in, nullptr);
      for (uint32_t strip = 0; strip < image.StripCount(); ++strip) {
        const Bytes expected = image.Strip(strip);
        Bytes decoded(expected.size());
        EXPECT_EQ(TIFFReadEncodedStrip(in, strip, decoded.data(), static_cast<tmsize_t>(decoded.size())),
                  static_cast<tmsize_t>(expected.size()))
            << imageCase.label << " predictor " << predictor << " strip " << strip;
        EXPECT_EQ(decoded, expected) << imageCase.label << " predictor " << predictor << " strip " << strip;
      }
      TIFFClose(in);
      std::remove(path.c_str());
    }
  }
}

TEST(LzwTiff, LibtiffStripsExpandThroughOurs) {
  for (const auto& imageCase : kImageCases) {
    const Image image = MakeImage(imageCase.width, imageCase.height, imageCase.samplesPerPixel,
                                  imageCase.rowsPerStrip, imageCase.noise, 2);
    for (uint16_t predictor : {uint16_t{1}, uint16_t{2}}) {
      const std::vector<Bytes> strips = LibtiffStrips(image, predictor);
      ASSERT_EQ(strips.size(), image.StripCount());
      for (uint32_t strip = 0; strip < image.StripCount(); ++strip) {
        const Bytes expected = predictor == 2 ? Differenced(image, image.Strip(strip)) : image.Strip(strip);
        EXPECT_EQ(RunCodec(TiffRequest(0, image), strips[strip]), expected)
            << imageCase.label << " predictor " << predictor << " strip " << strip;
      }
    }
  }
}

// Below one dictionary's worth of strings, our stream is libtiff's, byte
// for byte; above it the restart points differ (see the file's head).
TEST(LzwTiff, SmallStripsAreByteIdenticalToLibtiff) {
  const ImageCase cases[] = {
      {"gray 60x50", 60, 50, 1, 50, 5}, {"RGB 40x30", 40, 30, 3, 30, 30}, {"RGB 1x1", 1, 1, 3, 1, 0}};
  for (const auto& imageCase : cases) {
    const Image image = MakeImage(imageCase.width, imageCase.height, imageCase.samplesPerPixel,
                                  imageCase.rowsPerStrip, imageCase.noise, 3);
    ASSERT_LT(image.pixels.size(), 3838u);
    for (uint16_t predictor : {uint16_t{1}, uint16_t{2}}) {
      const std::vector<Bytes> strips = LibtiffStrips(image, predictor);
      EXPECT_EQ(RunCodec(TiffRequest(predictor == 2 ? 2 : 1, image), image.Strip(0)), strips[0])
          << imageCase.label << " predictor " << predictor;
    }
  }
}

}  // namespace
