// Fuzz target: our CRC-32/ISO-HDLC against zlib's crc32, an independent
// implementation of the same model.
//
// zlib's value v after some bytes is the reflected register XOR 0xFFFFFFFF;
// our engines take the register in normal bit order and return it
// reflected (reflectResult) XOR finalXor. So zlib's crc32(seed, ...) is our
// engine started from ReflectBits(seed ^ 0xFFFFFFFF, 32), and a CRC can be
// carried from one piece of the data to the next the same way. Checked, on
// every CPU level from portable to the detected one (the folding kernels
// only run on the levels above portable and from 64 bytes on):
//   - ComputeCrc model 2, table and bitwise engines, equals crc32(0, ...);
//   - CrcTable32 and CrcBitwise32 from an arbitrary seed equal crc32(seed, ...);
//   - with an arbitrary final XOR and either result reflection, the value
//     follows from zlib's register;
//   - the data cut at up to 7 arbitrary points and chained piece by piece
//     (pieces start at every alignment) gives the whole data's CRC.
//
// Input: byte 0 places the data 0..63 bytes into its buffer, byte 1 the
// number of cuts, then 2 bytes per cut, 4 bytes of seed and 4 of final XOR;
// the rest is the data.
#include "fuzz_target.h"

#include <zlib.h>

#include <algorithm>

#include "codecs/codec_cpu.h"
#include "codecs/crc.h"

namespace crc32_zlib_fuzz {

constexpr uint32_t kTop = 0x80000000u;
constexpr uint32_t kPolynomial = 0x04C11DB7u;
constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

uint32_t Zlib(uint32_t seed, const unsigned char* data, size_t size) {
  // zlib takes a null pointer as a request for its starting value.
  return size == 0 ? seed : uint32_t(crc32(seed, data, uInt(size)));
}

// Our register for a zlib value.
uint32_t RegisterFor(uint32_t zlibValue) { return ReflectBits(zlibValue ^ kAllOnes, 32); }

uint32_t OurTable(const unsigned char* data, int64_t size, uint32_t seed) {
  return CrcTable32(data, size, RegisterFor(seed), 32, kTop, kPolynomial, kAllOnes, true, true);
}

void CheckLevel(const unsigned char* data, size_t size, uint32_t seed, uint32_t finalXor,
                const std::vector<size_t>& cuts, bool withBitwise) {
  const int64_t length = int64_t(size);
  const uint32_t fromZero = Zlib(0, data, size);
  LQM_FUZZ_CHECK(ComputeCrc(data, length, kCrcModelIsoHdlc, kCrcEngineTable) == fromZero);

  const uint32_t seeded = Zlib(seed, data, size);
  LQM_FUZZ_CHECK(OurTable(data, length, seed) == seeded);
  // zlib's register, reflected; our engines reflect it back unless asked not to.
  const uint32_t reflectedRegister = seeded ^ kAllOnes;
  const uint32_t initial = RegisterFor(seed);
  LQM_FUZZ_CHECK(CrcTable32(data, length, initial, 32, kTop, kPolynomial, finalXor, true, true) ==
                 (reflectedRegister ^ finalXor));
  LQM_FUZZ_CHECK(CrcTable32(data, length, initial, 32, kTop, kPolynomial, finalXor, true, false) ==
                 (ReflectBits(reflectedRegister, 32) ^ finalXor));
  if (withBitwise) {
    // The bitwise engine has no CPU paths; once per input is enough.
    LQM_FUZZ_CHECK(ComputeCrc(data, length, kCrcModelIsoHdlc, kCrcEngineBitwise) == fromZero);
    LQM_FUZZ_CHECK(CrcBitwise32(data, length, initial, 32, kTop, kPolynomial, finalXor, true, false) ==
                   (ReflectBits(reflectedRegister, 32) ^ finalXor));
  }

  uint32_t chained = 0;
  size_t begin = 0;
  for (size_t cut : cuts) {
    chained = OurTable(data + begin, int64_t(cut - begin), chained);
    begin = cut;
  }
  chained = OurTable(data + begin, int64_t(size - begin), chained);
  LQM_FUZZ_CHECK(chained == fromZero);
}

int FuzzCrc32Zlib(const uint8_t* data, size_t size) {
  lqm_fuzz::FuzzInput in(data, size);
  const size_t offset = in.Byte() % 64;
  std::vector<uint16_t> rawCuts(in.Byte() % 8);
  for (uint16_t& cut : rawCuts) cut = in.Uint16();
  const uint32_t seed = uint32_t(in.Int32());
  const uint32_t finalXor = uint32_t(in.Int32());
  const std::vector<uint8_t> bytes = in.Rest();

  // Exactly offset + size bytes, so a read past the end is seen.
  std::vector<unsigned char> buffer(offset + bytes.size());
  std::copy(bytes.begin(), bytes.end(), buffer.begin() + std::ptrdiff_t(offset));
  const unsigned char* placed = buffer.data() + offset;
  std::vector<size_t> cuts;
  for (uint16_t cut : rawCuts) cuts.push_back(bytes.empty() ? 0 : cut % (bytes.size() + 1));
  std::sort(cuts.begin(), cuts.end());

  for (int level = kCodecCpuPortable; level <= CodecCpuLevelDetected(); ++level) {
    CodecForceCpuLevel(CodecCpuLevel(level));
    CheckLevel(placed, bytes.size(), seed, finalXor, cuts, level == kCodecCpuPortable);
  }
  CodecForceCpuLevel(kCodecCpuAvx512);
  return 0;
}

}  // namespace crc32_zlib_fuzz

LQM_FUZZ_ENTRY(crc32_zlib_fuzz::FuzzCrc32Zlib)
