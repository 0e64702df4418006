// Fuzz target: every CPU level of the codec kernels gives the portable
// level's answer.
//
// The same bytes go through Base64 (encode, strict and lenient decode, the
// in-place routines too), CRC (the three models of ComputeCrc and the
// catalogue polynomials through the table engines with every reflection,
// an arbitrary initial register and final XOR) and TEA (enciphering and
// deciphering, in host word order and reversed), once per level from
// kCodecCpuPortable up to CodecCpuLevelDetected(), forced in turn with
// CodecForceCpuLevel. Every level's results must equal the portable ones
// byte for byte. The loop runs over the ladder, not over named kernels, so a
// kernel added at any level is compared as soon as it exists.
//
// Input: byte 0 places the data 0..63 bytes into its buffer (the kernels
// must not depend on alignment), byte 1 picks which bytes of the data Base64
// keeps as noise, bytes 2..5 the CRC initial register, 6..9 the final XOR,
// 10..25 the TEA key; the rest is the data. Buffers are exactly as large as
// the data and its offset, so AddressSanitizer sees any read or write past
// either end. The cap is lifted again before returning.
#include "fuzz_target.h"
#include "heap_blocks.h"

#include "codecs/base64.h"
#include "codecs/codec_cpu.h"
#include "codecs/crc.h"
#include "codecs/tea.h"

namespace cpu_paths_fuzz {

using Bytes = std::vector<uint8_t>;

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The data at `offset` in a buffer of exactly offset + size bytes.
struct PlacedBytes {
  Bytes storage;
  size_t offset;
  PlacedBytes(const Bytes& bytes, size_t at) : storage(at + bytes.size()), offset(at) {
    std::copy(bytes.begin(), bytes.end(), storage.begin() + std::ptrdiff_t(at));
  }
  unsigned char* data() { return storage.data() + offset; }
  int64_t size() const { return int64_t(storage.size() - offset); }
  Bytes Contents() const { return Bytes(storage.begin() + std::ptrdiff_t(offset), storage.end()); }
};

// Everything one level computes, compared as a whole with the portable one.
struct Answers {
  std::vector<Bytes> bytes;
  std::vector<uint32_t> values;
};

struct Choices {
  size_t offset;
  uint8_t noiseMask;
  uint32_t initial;
  uint32_t finalXor;
  uint32_t key[4];
  Bytes data;
};

// Long runs of alphabet characters reach the vector decoders; the bytes
// whose high bits match the mask stay as they are (line breaks, "=",
// anything), so clean blocks are interrupted at varying places.
Bytes MostlyBase64Text(const Choices& in) {
  Bytes text = in.data;
  for (uint8_t& byte : text) {
    if ((byte & 0xE0) != (in.noiseMask & 0xE0) || in.noiseMask == 0) byte = uint8_t(kAlphabet[byte & 63]);
  }
  return text;
}

void AddBase64(const Choices& in, Answers* out) {
  PlacedBytes plain(in.data, in.offset);
  Bytes encoded(size_t(Base64EncodedLength(plain.size())));
  Base64EncodeInto(plain.data(), plain.size(), encoded.data());
  out->bytes.push_back(encoded);

  for (const Bytes& text : {in.data, MostlyBase64Text(in), encoded}) {
    PlacedBytes placed(text, in.offset);
    Bytes decoded(size_t(Base64DecodedCapacity(placed.size())));
    const int64_t written = Base64DecodeInto(placed.data(), placed.size(), decoded.data());
    LQM_FUZZ_CHECK(written >= 0 && written <= int64_t(decoded.size()));
    decoded.resize(size_t(written));
    out->bytes.push_back(decoded);

    unsigned char* block = lqm_fuzz::HeapCopy(text);
    int64_t length = int64_t(text.size());
    LQM_FUZZ_CHECK(DecodeBase64InPlace(&block, &length));
    out->bytes.push_back(lqm_fuzz::TakeBlock(block, length));
  }

  unsigned char* block = lqm_fuzz::HeapCopy(in.data);
  int64_t length = int64_t(in.data.size());
  LQM_FUZZ_CHECK(EncodeBase64InPlace(&block, &length));
  out->bytes.push_back(lqm_fuzz::TakeBlock(block, length));
}

void AddCrc(const Choices& in, Answers* out) {
  PlacedBytes placed(in.data, in.offset);
  const unsigned char* data = placed.data();
  const int64_t size = placed.size();
  for (unsigned model : {kCrcModelCcittFalse, kCrcModelArc, kCrcModelIsoHdlc}) {
    out->values.push_back(ComputeCrc(data, size, model, kCrcEngineTable));
  }
  // Both bit orders of each catalogue polynomial have folding constants.
  for (int reflection = 0; reflection < 4; ++reflection) {
    const bool reflectInput = reflection & 1;
    const bool reflectResult = reflection & 2;
    for (uint16_t polynomial : {uint16_t{0x1021}, uint16_t{0x8005}}) {
      out->values.push_back(CrcTable16(data, size, uint16_t(in.initial), 16, 0x8000, polynomial,
                                       uint16_t(in.finalXor), reflectInput, reflectResult));
    }
    out->values.push_back(CrcTable32(data, size, in.initial, 32, 0x80000000u, 0x04C11DB7u, in.finalXor,
                                     reflectInput, reflectResult));
  }
}

void AddTea(const Choices& in, Answers* out) {
  // Whole blocks only are counted; the bytes after them must stay as they are
  // on every level, which the byte comparison covers.
  const int64_t blocks = int64_t(in.data.size() / 8);
  if (blocks == 0) return;
  for (int mode = 0; mode < 4; ++mode) {
    PlacedBytes placed(in.data, in.offset);
    const int64_t count = (mode & 1) ? -blocks : blocks;
    const bool done = (mode & 2) ? TeaBlocksWordsReversed(placed.data(), count, in.key)
                                 : TeaBlocks(placed.data(), count, in.key);
    LQM_FUZZ_CHECK(done);
    out->bytes.push_back(placed.Contents());
  }
}

Answers Compute(const Choices& in) {
  Answers answers;
  AddBase64(in, &answers);
  AddCrc(in, &answers);
  AddTea(in, &answers);
  return answers;
}

int FuzzCpuPaths(const uint8_t* data, size_t size) {
  lqm_fuzz::FuzzInput input(data, size);
  Choices in{};
  in.offset = input.Byte() % 64;
  in.noiseMask = input.Byte();
  in.initial = uint32_t(input.Int32());
  in.finalXor = uint32_t(input.Int32());
  for (uint32_t& word : in.key) word = uint32_t(input.Int32());
  in.data = input.Rest();

  CodecForceCpuLevel(kCodecCpuPortable);
  const Answers portable = Compute(in);
  for (int level = kCodecCpuPortable + 1; level <= CodecCpuLevelDetected(); ++level) {
    LQM_FUZZ_CHECK(CodecForceCpuLevel(CodecCpuLevel(level)) == level);
    const Answers answers = Compute(in);
    // Two checks, so the failure line tells the byte results from the CRCs.
    LQM_FUZZ_CHECK(answers.bytes == portable.bytes);
    LQM_FUZZ_CHECK(answers.values == portable.values);
  }
  CodecForceCpuLevel(kCodecCpuAvx512);
  return 0;
}

}  // namespace cpu_paths_fuzz

LQM_FUZZ_ENTRY(cpu_paths_fuzz::FuzzCpuPaths)
