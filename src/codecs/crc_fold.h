// CRC by folding with carry-less multiplication (Gopal et al., "Fast CRC
// Computation for Generic Polynomials Using PCLMULQDQ Instruction", Intel,
// 2009), for any polynomial of up to 32 bits, reflected or not.
//
// The message is cut into 128-bit chunks, each read as a polynomial C(x) of
// degree below 128 (for a reflected CRC the first bit of the chunk is the
// highest term, otherwise the most significant bit of its first byte is).
// A chunk followed by D more bits contributes C(x) x^D; splitting C into
// halves H x^64 + L, that is congruent modulo the CRC polynomial P to
// H (x^(D+64) mod P) + L (x^D mod P), a value of under 128 bits that can be
// added into the chunk D bits later. Folding every chunk forward this way
// leaves one 128-bit remainder R with R = M (mod P), so the CRC of the 16
// bytes of R from a zero register equals that of the folded message M; the
// table engines finish it and the bytes after the last whole chunk.
//
// The starting register is taken in by XORing it into the first bytes of the
// first chunk: a CRC from register r over M equals the CRC from zero over M
// with its first width bits XORed with r.
//
// Fold constants are computed below from the polynomial (constexpr; nothing
// is pasted), one pair per fold distance of k chunks, k = 1..16.
#pragma once

#include <array>
#include <cstdint>

// The pair for one distance, laid out for the kernels: element 0 multiplies
// the low 64-bit half of a chunk register, element 1 the high half.
struct CrcFoldPair {
  uint64_t low;
  uint64_t high;
};

struct CrcFoldConstants {
  bool reflected;
  // distance[k] moves a chunk forward by k chunks (k * 128 bits); [0] unused.
  std::array<CrcFoldPair, 17> distance;
};

// x^power mod P for P of the given width (normal form, top term implied).
constexpr uint64_t CrcXPowerMod(uint64_t power, int width, uint32_t polynomial) {
  const uint64_t top = uint64_t{1} << (width - 1);
  const uint64_t mask = (uint64_t{1} << width) - 1;
  uint64_t value = 1;  // x^0; width >= 8 so this is already reduced
  for (uint64_t step = 0; step < power; ++step) {
    value = ((value & top) ? (value << 1) ^ polynomial : value << 1) & mask;
  }
  return value;
}

constexpr uint64_t CrcReflect64(uint64_t value, int count) {
  uint64_t reflected = 0;
  for (int bit = 0; bit < count; ++bit) {
    if (value & (uint64_t{1} << bit)) reflected |= uint64_t{1} << (count - 1 - bit);
  }
  return reflected;
}

// Reflected chunk: the low register half holds the first 64 message bits,
// i.e. H, reflected. A carry-less product of a 64-bit and a 33-bit reflected
// operand is a 96-bit reflected value; read in the 128-bit frame it is the
// product times x^32, hence the exponents D + 32 and D - 32 (as in the
// paper's reflected constants, which carry the same extra bit).
// Normal chunk (after a byte reversal): the high half is H; products come
// out unreflected, hence D + 64 and D.
constexpr CrcFoldConstants BuildCrcFoldConstants(int width, uint32_t polynomial, bool reflected) {
  CrcFoldConstants constants{};
  constants.reflected = reflected;
  for (uint64_t chunks = 1; chunks <= 16; ++chunks) {
    const uint64_t bits = 128 * chunks;
    if (reflected) {
      constants.distance[chunks].low = CrcReflect64(CrcXPowerMod(bits + 32, width, polynomial), 33);
      constants.distance[chunks].high = CrcReflect64(CrcXPowerMod(bits - 32, width, polynomial), 33);
    } else {
      constants.distance[chunks].low = CrcXPowerMod(bits, width, polynomial);
      constants.distance[chunks].high = CrcXPowerMod(bits + 64, width, polynomial);
    }
  }
  return constants;
}

// The folding kernels need at least this many bytes: four chunks for the
// 128-bit kernel (it keeps four accumulators); shorter inputs are faster on
// the table engines anyway.
inline constexpr int64_t kCrcFoldMinimum = 64;

// Folds the first length / 16 whole chunks of data (length >= 64) into one
// chunk written to remainder in message byte order. seed (16 bytes, message
// order) is XORed into the first chunk. Each kernel is valid only at its CPU
// level (codec_cpu.h); CrcFold picks the best one in use and returns false
// when none is (portable level or another processor).
bool CrcFold(const unsigned char* data, int64_t length, const unsigned char seed[16],
             const CrcFoldConstants& constants, unsigned char remainder[16]);
