// The LZW codec: the worked streams, streams equal to the linear-scan
// reference, round trips over every setting, the width and dictionary
// boundaries, parameter decoding, corrupt streams and refused memory.
#include <gtest/gtest.h>

#include "codec_test_support.h"
#include "codecs/lzw.h"
#include "base/plugin_heap.h"
#include "lzw_reference.h"

using namespace codec_test;

namespace {

LzwCodecRequest Request(unsigned mode, unsigned clear, unsigned end, int32_t rootBits, int32_t maxBits) {
  LzwCodecRequest request{};
  request.mode = static_cast<uint16_t>(mode);
  request.clearCodes = static_cast<uint16_t>(clear);
  request.endCode = static_cast<uint16_t>(end);
  request.rootBits = rootBits;
  request.maxBits = maxBits;
  return request;
}

// Runs the command's logic on a copy of the input; false when it failed.
bool RunCodec(const LzwCodecRequest& request, const Bytes& input, Bytes* result) {
  Bytes copy = input;
  unsigned char* output = nullptr;
  int64_t outputLength = 0;
  const bool done = RunLzwCodec(request, copy.data(), static_cast<int64_t>(copy.size()), &output, &outputLength);
  *result = TakeBlock(output, outputLength);
  if (!done) {
    EXPECT_TRUE(result->empty());
  }
  return done;
}

Bytes Compress(const Bytes& input, unsigned clear, unsigned end, int32_t rootBits, int32_t maxBits) {
  Bytes stream;
  EXPECT_TRUE(RunCodec(Request(1, clear, end, rootBits, maxBits), input, &stream));
  return stream;
}

Bytes Expand(const Bytes& stream, unsigned clear, unsigned end, int32_t rootBits, int32_t maxBits) {
  Bytes output;
  EXPECT_TRUE(RunCodec(Request(0, clear, end, rootBits, maxBits), stream, &output));
  return output;
}

lzw_reference::Settings ReferenceSettings(unsigned clear, unsigned end, int rootBits, int maxBits) {
  return {rootBits, maxBits, clear % 2 == 1, clear / 2 != 0, end % 2 == 1, end / 2 != 0};
}

// The width of every code of a stream before its end, as the reference
// expander reads them.
std::vector<int> CodeWidthsOf(const Bytes& stream, int rootBits, int maxBits, unsigned clear, unsigned end) {
  std::vector<int> widths;
  lzw_reference::Expand(stream, ReferenceSettings(clear, end, rootBits, maxBits), &widths);
  return widths;
}

TEST(Lzw, WorkedStreams) {
  const auto rows = ReadVectorFile("lzw.txt");
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) {
    const Bytes input = FromText(row[0]);
    const unsigned clear = static_cast<unsigned>(std::stoi(row[1]));
    const unsigned end = static_cast<unsigned>(std::stoi(row[2]));
    const int rootBits = std::stoi(row[3]);
    const int maxBits = std::stoi(row[4]);
    const Bytes stream = Compress(input, clear, end, rootBits, maxBits);
    EXPECT_EQ(ToHex(stream), row[5]) << row[0] << " " << row[1];
    EXPECT_EQ(Expand(stream, clear, end, rootBits, maxBits), input) << row[0] << " " << row[1];
  }
}

// The index must answer exactly as the first-match linear scan does, so the
// streams are compared byte for byte over shapes, sizes and settings. The
// 9000-byte inputs restart (or freeze) the small dictionaries many times.
TEST(Lzw, StreamsEqualTheLinearScanReference) {
  const Shape shapes[] = {Shape::kNoise, Shape::kSmallAlphabet, Shape::kRuns, Shape::kText};
  const unsigned codeSettings[] = {0, 1, 3};
  int compared = 0;
  for (int rootBits = 3; rootBits <= 8; ++rootBits) {
    for (int maxBits : {rootBits + 1, rootBits + 2, 11, 12, 14}) {
      if (maxBits < rootBits + 1 || maxBits > 14) continue;
      for (unsigned clear : codeSettings) {
        for (unsigned end : codeSettings) {
          for (Shape shape : shapes) {
            const size_t length = (rootBits + maxBits + clear + end) % 3 == 0 ? 9000 : 700;
            const Bytes input =
                MakeInput(shape, length, static_cast<uint32_t>(rootBits * 1000 + maxBits * 10 + clear + end),
                          (1 << rootBits) - 1);
            Bytes expected;
            ASSERT_TRUE(lzw_reference::Compress(input, ReferenceSettings(clear, end, rootBits, maxBits), &expected));
            ASSERT_EQ(Compress(input, clear, end, rootBits, maxBits), expected)
                << "roots " << rootBits << " max " << maxBits << " clear " << clear << " end " << end;
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 500);
}

// Every setting expands back to its input. Streams without a written end
// code may gain one 0 byte from padding when codes can be 7 bits or less.
TEST(Lzw, RoundTripsForEverySetting) {
  const Shape shapes[] = {Shape::kNoise, Shape::kSmallAlphabet, Shape::kRuns, Shape::kText};
  for (int rootBits = 3; rootBits <= 8; ++rootBits) {
    for (int maxBits = rootBits + 1; maxBits <= 14; maxBits += (maxBits < 10 ? 1 : 2)) {
      for (unsigned clear : {0u, 1u, 3u}) {
        for (unsigned end : {0u, 1u, 3u}) {
          for (Shape shape : shapes) {
            const Bytes input = MakeInput(shape, 3000 + rootBits * 7, static_cast<uint32_t>(maxBits * 31 + clear),
                                          (1 << rootBits) - 1);
            const Bytes stream = Compress(input, clear, end, rootBits, maxBits);
            Bytes output = Expand(stream, clear, end, rootBits, maxBits);
            if (end != 3 && rootBits <= 6 && output.size() == input.size() + 1 && output.back() == 0) {
              output.pop_back();
            }
            ASSERT_EQ(output, input) << "roots " << rootBits << " max " << maxBits << " clear " << clear << " end "
                                     << end;
          }
        }
      }
    }
  }
}

// Every length up to 1500 of one input: the dictionary passes the widening
// at 511 and 1023 at every offset relative to the end of the stream, where
// the end code's width must follow the expander's.
TEST(Lzw, RoundTripsAtEveryStreamEndAroundWidthChanges) {
  const Bytes source = MakeInput(Shape::kNoise, 1500, 77);
  for (size_t length = 1; length <= source.size(); ++length) {
    const Bytes input(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(length));
    for (unsigned clear : {0u, 3u}) {
      const Bytes stream = Compress(input, clear, 3, 8, 12);
      ASSERT_EQ(Expand(stream, clear, 3, 8, 12), input) << length << " clear " << clear;
    }
  }
}

TEST(Lzw, CodeWidthsGrowAtTheirBoundaries) {
  const Bytes input = MakeInput(Shape::kNoise, 4000, 5);
  // 8-bit roots, both codes on: codes 256 and 257 reserved, strings from 258.
  const std::vector<int> widths = CodeWidthsOf(Compress(input, 3, 3, 8, 12), 8, 12, 3, 3);
  // Code k of the stream (k = 0 the clear code) is written after string
  // 258 + k - 2 was assigned; 511 is assigned before code 255 is written.
  ASSERT_GT(widths.size(), 800u);
  EXPECT_EQ(widths[254], 9);
  EXPECT_EQ(widths[255], 10);
  EXPECT_EQ(widths[766], 10);
  EXPECT_EQ(widths[767], 11);
  // With 9-bit codes at most, no code is wider and the dictionary restarts.
  for (int width : CodeWidthsOf(Compress(input, 3, 3, 8, 9), 8, 9, 3, 3)) ASSERT_EQ(width, 9);
}

TEST(Lzw, SmallestDictionaryRestartsRightAfterItsLastCode) {
  // 8-bit roots and 9-bit codes: the last string code is 510, then a clear.
  const Bytes input = MakeInput(Shape::kNoise, 2000, 9);
  const Bytes stream = Compress(input, 3, 3, 8, 9);
  lzw_reference::BitReader reader(stream);
  std::vector<int> codes;
  for (int code; reader.Get(9, &code);) codes.push_back(code);
  // Clear; then codes 1..253, each followed by the next string (258..510);
  // then, right after 510, the clear code.
  ASSERT_GT(codes.size(), 300u);
  EXPECT_EQ(codes[0], 256);
  for (size_t index = 1; index < 254; ++index) ASSERT_NE(codes[index], 256) << index;
  EXPECT_EQ(codes[254], 256);
}

// Without clear codes the dictionary stays as it is once its last code is
// assigned: long inputs still expand back, and the stream equals the
// reference's frozen stream.
TEST(Lzw, FrozenDictionaryWithoutClearCodes) {
  for (int maxBits : {9, 10, 12}) {
    for (Shape shape : {Shape::kNoise, Shape::kText, Shape::kRuns}) {
      const Bytes input = MakeInput(shape, 60000, static_cast<uint32_t>(maxBits));
      for (unsigned end : {0u, 3u}) {
        const Bytes stream = Compress(input, 0, end, 8, maxBits);
        ASSERT_EQ(Expand(stream, 0, end, 8, maxBits), input) << maxBits << " end " << end;
      }
    }
  }
}

TEST(Lzw, ParameterDecoding) {
  const Bytes small = {0, 1, 2, 3, 4, 5, 6, 7, 7, 7};
  const Bytes wide = {0, 1, 8};
  Bytes result;
  const struct {
    const char* label;
    LzwCodecRequest request;
    const Bytes& input;
    bool succeeds;
  } cases[] = {
      {"root size 0 gives 3 bits: byte 8 is refused", Request(1, 3, 3, 0, 12), wide, false},
      {"root size 0 gives 3 bits: bytes 0..7 are fine", Request(1, 3, 3, 0, 12), small, true},
      {"root size -2 gives 3 bits", Request(1, 3, 3, -2, 12), wide, false},
      {"root size -1 gives 8 bits", Request(1, 3, 3, -1, 12), wide, true},
      {"root size 20 gives 8 bits", Request(1, 3, 3, 20, 12), wide, true},
      {"mode 3 is refused", Request(3, 3, 3, 8, 12), small, false},
      {"mode 255 is refused", Request(255, 3, 3, 8, 12), small, false},
  };
  for (const auto& testCase : cases) {
    EXPECT_EQ(RunCodec(testCase.request, testCase.input, &result), testCase.succeeds) << testCase.label;
  }
  // Code sizes above 14 give 14, below rootBits + 1 give rootBits + 1.
  const Bytes input = MakeInput(Shape::kText, 50000, 1);
  EXPECT_EQ(Compress(input, 3, 3, 8, 20), Compress(input, 3, 3, 8, 14));
  EXPECT_EQ(Compress(input, 3, 3, 8, 8), Compress(input, 3, 3, 8, 9));  // the roots' own width
  const Bytes fiveBitInput = MakeInput(Shape::kText, 50000, 1, 31);
  EXPECT_EQ(Compress(fiveBitInput, 3, 3, 5, -7), Compress(fiveBitInput, 3, 3, 5, 6));
  // Mode 256 expands (low 8 bits 0); mode 257 compresses.
  const Bytes stream = Compress(FromText("ABABABA"), 3, 3, -1, 12);
  ASSERT_TRUE(RunCodec(Request(256, 3, 3, -1, 12), stream, &result));
  EXPECT_EQ(result, FromText("ABABABA"));
  ASSERT_TRUE(RunCodec(Request(257, 3, 3, -1, 12), FromText("ABABABA"), &result));
  EXPECT_EQ(result, stream);
  // Only the low 8 bits of value / 2 decide whether a code is written.
  EXPECT_EQ(Compress(FromText("AB"), 0x201, 0x201, 8, 12), Compress(FromText("AB"), 1, 1, 8, 12));
  EXPECT_EQ(Compress(FromText("AB"), 0x203, 0x203, 8, 12), Compress(FromText("AB"), 3, 3, 8, 12));
}

TEST(Lzw, Predictor) {
  const struct {
    const char* label;
    uint16_t pixelsPerRow, bytesPerPixel;
    Bytes input, differenced;
  } cases[] = {
      {"one byte per pixel, two rows and a tail", 3, 1, {10, 12, 15, 1, 0, 255, 9}, {10, 2, 3, 1, 255, 255, 9}},
      {"two bytes per pixel", 2, 2, {1, 2, 4, 8}, {1, 2, 3, 6}},
      {"row longer than the input: untouched", 9, 1, {5, 6, 7}, {5, 6, 7}},
      {"no pixels: untouched", 0, 1, {5, 6, 7}, {5, 6, 7}},
      {"no bytes per pixel: untouched", 3, 0, {5, 6, 7}, {5, 6, 7}},
  };
  for (const auto& testCase : cases) {
    LzwCodecRequest request = Request(2, 3, 3, 8, 12);
    request.pixelsPerRow = testCase.pixelsPerRow;
    request.bytesPerPixel = testCase.bytesPerPixel;
    Bytes stream;
    ASSERT_TRUE(RunCodec(request, testCase.input, &stream)) << testCase.label;
    EXPECT_EQ(stream, Compress(testCase.differenced, 3, 3, 8, 12)) << testCase.label;
    EXPECT_EQ(Expand(stream, 3, 3, 8, 12), testCase.differenced) << "the predictor is never undone";
  }
}

TEST(Lzw, PaddingAndEndCodes) {
  // 3-bit roots: 4-bit codes; "A"-like single symbol 5 compresses to one code
  // and 4 padding bits, which read back as a code 0.
  const Bytes input = {5};
  EXPECT_EQ(Expand(Compress(input, 0, 0, 3, 4), 0, 0, 3, 4), (Bytes{5, 0}));
  EXPECT_EQ(Expand(Compress(input, 0, 3, 3, 4), 0, 3, 3, 4), input) << "a written end code avoids it";

  // With the end code on, expansion stops at the first end code.
  Bytes joined = Compress(FromText("first"), 3, 3, 8, 12);
  const Bytes second = Compress(FromText("second"), 3, 3, 8, 12);
  joined.insert(joined.end(), second.begin(), second.end());
  EXPECT_EQ(Expand(joined, 3, 1, 8, 12), FromText("first"));
}

TEST(Lzw, LongStringsGrowTheOutput) {
  // A megabyte of one byte: strings grow to thousands of bytes per code and
  // the output outgrows its first estimate many times.
  for (int maxBits : {12, 14}) {
    const Bytes input(1 << 20, 'z');
    const Bytes stream = Compress(input, 3, 3, 8, maxBits);
    EXPECT_LT(stream.size(), 4000u);
    EXPECT_EQ(Expand(stream, 3, 3, 8, maxBits), input);
  }
}

// Arbitrary bytes expanded under every setting: no crash, no read or write
// out of bounds (run under the sanitizers), and the same answer twice.
TEST(Lzw, CorruptStreamsExpandSafely) {
  for (int rootBits = 3; rootBits <= 8; ++rootBits) {
    for (int maxBits : {rootBits + 1, 12, 14}) {
      for (unsigned clear : {0u, 1u}) {
        for (unsigned end : {0u, 1u}) {
          for (uint32_t seed = 0; seed < 4; ++seed) {
            const Bytes garbage = MakeInput(seed % 2 ? Shape::kNoise : Shape::kRuns, 3000, seed + rootBits * 10);
            const Bytes first = Expand(garbage, clear, end, rootBits, maxBits);
            EXPECT_EQ(Expand(garbage, clear, end, rootBits, maxBits), first);
          }
        }
      }
    }
  }
  // A first code that is no root ends the expansion: nothing to decode.
  EXPECT_TRUE(Expand({0xFF, 0xFF}, 0, 0, 8, 12).empty());
}

// Damaged streams (flipped bits, overwritten bytes, a cut, plain data read
// as a stream) under every code setting: the same bytes as the reference, which
// builds every string by following its prefixes. The fast expander copies
// strings from earlier output instead, and walks its own tables only in a
// damaged tail; it must stop exactly where the chains stop.
TEST(Lzw, CorruptStreamsStopWhereTheChainsStop) {
  int compared = 0;
  for (int rootBits : {3, 5, 8}) {
    for (int maxBits : {rootBits + 1, 12, 14}) {
      for (unsigned clear : {0u, 1u, 3u}) {
        for (unsigned end : {0u, 1u, 3u}) {
          const uint32_t seed = static_cast<uint32_t>(rootBits * 100 + maxBits * 10 + clear * 3 + end);
          const Bytes input = MakeInput(seed % 2 ? Shape::kRuns : Shape::kText, 6000, seed, (1 << rootBits) - 1);
          const Bytes stream = Compress(input, clear, end, rootBits, maxBits);
          const lzw_reference::Settings settings = ReferenceSettings(clear % 2, end % 2, rootBits, maxBits);
          Bytes flipped = stream;
          for (size_t at = 7; at < flipped.size(); at += 211) flipped[at] ^= static_cast<unsigned char>(1 << (at % 8));
          Bytes overwritten = stream;
          for (size_t at = 5; at < overwritten.size(); at += 997) overwritten[at] = static_cast<unsigned char>(at * 37);
          const Bytes truncated(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(stream.size() * 2 / 3));
          const Bytes* damagedStreams[] = {&stream, &flipped, &overwritten, &truncated, &input};
          for (const Bytes* damaged : damagedStreams) {
            ASSERT_EQ(Expand(*damaged, clear % 2, end % 2, rootBits, maxBits), lzw_reference::Expand(*damaged, settings))
                << "roots " << rootBits << " max " << maxBits << " clear " << clear << " end " << end;
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_EQ(compared, 405);
}

// A damaged tail by hand (8-bit roots, 9-bit codes, no clear or end code):
// after an unassigned code the next entry waits for it as its prefix; here
// 257 waits for 259, which waits for 260, so 257 is built through two such
// entries; then 265 waits for itself and reading it ends the expansion.
TEST(Lzw, DamagedTailChainsThroughWaitingEntries) {
  const int codes[] = {'A', 259, 'B', 260, 'C', 'D', 257, 259, 'F', 265, 'G', 265, 'H'};
  lzw_reference::BitWriter writer;
  for (int code : codes) writer.Put(code, 9);
  const Bytes expected = FromText("A" "AA" "B" "BB" "C" "D" "CDCB" "CDC" "F" "FF" "G");
  EXPECT_EQ(lzw_reference::Expand(writer.bytes_, ReferenceSettings(0, 0, 8, 9)), expected);
  EXPECT_EQ(Expand(writer.bytes_, 0, 0, 8, 9), expected);
}

// Long runs broken by short patterns, as in a page of text (the compressor
// enters long strings by comparison there): equal to the linear scan.
TEST(Lzw, RunsWithPatternsEqualTheLinearScanReference) {
  for (int maxBits : {9, 12, 14}) {
    Bytes input;
    for (int row = 0; row < 40; ++row) {
      input.push_back(255);
      input.insert(input.end(), 150 + row * 7 % 60, 0);
      for (int mark = 0; mark < row % 5; ++mark) input.insert(input.end(), {1, 1, 0, 0, 254, 254});
      input.insert(input.end(), 90 - row % 30, 0);
    }
    for (unsigned clear : {0u, 3u}) {
      Bytes expected;
      ASSERT_TRUE(lzw_reference::Compress(input, ReferenceSettings(clear, 3, 8, maxBits), &expected));
      ASSERT_EQ(Compress(input, clear, 3, 8, maxBits), expected) << maxBits << " clear " << clear;
      ASSERT_EQ(Expand(expected, clear, 3, 8, maxBits), input) << maxBits << " clear " << clear;
    }
  }
}

// Inputs that switch between incompressible stretches (every string short:
// the compressor keeps no comparison records for them, the expander's common
// steps take 4 codes per refill) and long strings: runs whose codes each
// define themselves, at every offset from a refill, and repeats of earlier
// noise, which the compressor enters by comparison once records exist. The
// streams equal the linear scan and expand back, in TIFF's shape (the
// expander's specialised steps) and in others.
TEST(Lzw, ShortAndLongStringsMixedEqualTheLinearScanReference) {
  const Bytes noise = MakeInput(Shape::kNoise, 4000, 91);
  Bytes input;
  for (int block = 0; block < 60; ++block) {
    const size_t from = static_cast<size_t>(block) * 61 % 3000;
    input.insert(input.end(), noise.begin() + static_cast<std::ptrdiff_t>(from),
                 noise.begin() + static_cast<std::ptrdiff_t>(from + 37 + block % 11));
    input.insert(input.end(), static_cast<size_t>(1 + block % 41), static_cast<unsigned char>(block * 5));
    if (block % 3 == 0) {
      // An earlier stretch again, longer than any string so far.
      const size_t repeat = input.size() / 3;
      const Bytes earlier(input.begin() + static_cast<std::ptrdiff_t>(repeat),
                          input.begin() + static_cast<std::ptrdiff_t>(repeat + 20 + block));
      input.insert(input.end(), earlier.begin(), earlier.end());
    }
  }
  struct Case {
    int rootBits;
    int maxBits;
    unsigned clear;
    unsigned end;
  };
  const Case cases[] = {{8, 12, 3, 3}, {8, 12, 3, 0}, {8, 12, 0, 3}, {8, 9, 3, 3}, {8, 14, 3, 3}, {7, 12, 3, 3}};
  for (const Case& setting : cases) {
    const Bytes source = setting.rootBits == 8 ? input : MakeInput(Shape::kRuns, input.size(), 5, 127);
    for (size_t length : {source.size(), source.size() / 2 + 3, size_t{64}, size_t{9}}) {
      const Bytes part(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(length));
      Bytes expected;
      ASSERT_TRUE(lzw_reference::Compress(
          part, ReferenceSettings(setting.clear, setting.end, setting.rootBits, setting.maxBits), &expected));
      ASSERT_EQ(Compress(part, setting.clear, setting.end, setting.rootBits, setting.maxBits), expected)
          << setting.rootBits << " " << setting.maxBits << " length " << length;
      ASSERT_EQ(Expand(expected, setting.clear, setting.end, setting.rootBits, setting.maxBits), part)
          << setting.rootBits << " " << setting.maxBits << " length " << length;
    }
  }
}

// Refusing each allocation in turn, up to the last one the call makes:
// every run either fails with no block or gives the unhindered answer (a
// refused measuring table or final shrink is survivable). The long run
// expands far past the expander's first estimate and the noise compresses
// past the compressor's, so their output blocks must grow mid-stream, and
// that growth is refused too.
TEST(Lzw, RefusedMemoryGivesAnEmptyResult) {
  for (const Bytes& input : {Bytes(200000, 'q'), MakeInput(Shape::kNoise, 20000, 3)}) {
    const Bytes stream = Compress(input, 3, 3, 8, 12);
    for (unsigned mode : {1u, 0u}) {
      const Bytes& source = mode == 1 ? input : stream;
      const Bytes& expected = mode == 1 ? stream : input;
      int failures = 0;
      for (long failing = 1;; ++failing) {
        Bytes result;
        PluginHeapFailAfter(failing);
        const bool done = RunCodec(Request(mode, 3, 3, 8, 12), source, &result);
        const bool walkedPastTheLast = PluginHeapFailAfter(0) != 0;
        EXPECT_EQ(result, done ? expected : Bytes()) << "mode " << mode << " failing " << failing;
        failures += done ? 0 : 1;
        if (walkedPastTheLast) break;
        ASSERT_LT(failing, 100) << "mode " << mode;
      }
      EXPECT_GE(failures, 2) << "mode " << mode;
    }
  }
}

}  // namespace
