// CRC engines (see crc.h for the models).
//
// Three ways to the same value, all constexpr so that the compiler checks
// each against the catalogue's check values of "123456789" below:
//   - BitwiseCrc: the definition, eight shift steps per byte;
//   - TableCrc: one lookup per byte in a 256-entry table of the polynomial,
//     MSB first, input bytes reflected through a byte table when asked;
//   - ReflectedSlicedCrc32: CRC-32 with reflected input, sixteen bytes per
//     step ("slicing-by-8" of Kounavis and Berry, 2005, widened to 16: the
//     16 table lookups of a step are independent, so they overlap; on the
//     benchmark machine 16 ran about twice as fast as 8) over the reflected form of
//     the same table. The register is kept reflected, so reflecting the result
//     is free and the data bytes need no reflection.
// The tables of the three catalogue polynomials are computed at compile time;
// any other polynomial gets a table built on the stack for the call. Engines
// accept widths of 8 to 16 (16-bit) and 8 to 32 (32-bit).
//
// For the catalogue polynomials the table engine hands inputs of 64 bytes
// and more to the folding kernels (crc_fold.h) when the CPU has carry-less
// multiplication; the kernels fold every whole 16-byte chunk into one, and
// the table code above finishes that chunk and the tail. The bitwise engine
// never folds, so it stays an independent reference.
#include "codecs/crc.h"

#include <cstdint>

#include "codecs/crc_fold.h"

namespace {

constexpr std::array<uint8_t, 256> BuildByteReflection() {
  std::array<uint8_t, 256> table{};
  for (uint32_t value = 0; value < 256; ++value) table[value] = static_cast<uint8_t>(ReflectBits(value, 8));
  return table;
}
constexpr std::array<uint8_t, 256> kReflectedBytes = BuildByteReflection();

constexpr uint64_t WidthMask(int width) { return (uint64_t{1} << width) - 1; }

template <typename Register>
constexpr Register FinishCrc(uint64_t reg, int width, Register finalXor, bool reflectResult) {
  const uint64_t value = reflectResult ? ReflectBits(static_cast<uint32_t>(reg), width) : reg;
  return static_cast<Register>((value ^ finalXor) & WidthMask(width));
}

template <typename Register>
constexpr Register BitwiseCrc(const unsigned char* data, int64_t length, Register initial, int width,
                              Register topBit, Register polynomial, Register finalXor, bool reflectInput,
                              bool reflectResult) {
  const uint64_t mask = WidthMask(width);
  uint64_t reg = initial & mask;
  for (int64_t position = 0; position < length; ++position) {
    const uint64_t byte = reflectInput ? kReflectedBytes[data[position]] : data[position];
    reg ^= byte << (width - 8);
    for (int step = 0; step < 8; ++step) {
      reg = ((reg & topBit) ? (reg << 1) ^ polynomial : reg << 1) & mask;
    }
  }
  return FinishCrc<Register>(reg, width, finalXor, reflectResult);
}

template <typename Register, typename Table>
constexpr Register TableCrc(const unsigned char* data, int64_t length, Register initial, int width,
                            const Table& table, Register finalXor, bool reflectInput, bool reflectResult) {
  const uint64_t mask = WidthMask(width);
  uint64_t reg = initial & mask;
  for (int64_t position = 0; position < length; ++position) {
    const unsigned byte = reflectInput ? kReflectedBytes[data[position]] : data[position];
    const unsigned index = static_cast<unsigned>((reg >> (width - 8)) ^ byte) & 0xFF;
    reg = (table[index] ^ (reg << 8)) & mask;
  }
  return FinishCrc<Register>(reg, width, finalXor, reflectResult);
}

// Catalogue tables, MSB first.
constexpr CrcTable16Entries kCcittTable = BuildCrcTable16(16, 0x8000, 0x1021);
constexpr CrcTable16Entries kArcTable = BuildCrcTable16(16, 0x8000, 0x8005);
constexpr CrcTable32Entries kCrc32Table = BuildCrcTable32(32, 0x80000000u, 0x04C11DB7u);
constexpr uint32_t kCrc32Polynomial = 0x04C11DB7u;

// Slice k maps a byte to the reflected register change it causes when k more
// bytes follow it; slice 0 is the classic reflected (LSB-first) table.
constexpr int kCrc32SliceCount = 16;
using Crc32Slices = std::array<std::array<uint32_t, 256>, kCrc32SliceCount>;
constexpr Crc32Slices BuildCrc32Slices() {
  Crc32Slices slices{};
  for (uint32_t index = 0; index < 256; ++index) {
    slices[0][index] = ReflectBits(kCrc32Table[ReflectBits(index, 8)], 32);
  }
  for (int slice = 1; slice < kCrc32SliceCount; ++slice) {
    for (uint32_t index = 0; index < 256; ++index) {
      const uint32_t previous = slices[slice - 1][index];
      slices[slice][index] = (previous >> 8) ^ slices[0][previous & 0xFF];
    }
  }
  return slices;
}
constexpr Crc32Slices kCrc32Slices = BuildCrc32Slices();

constexpr uint32_t LittleEndianWord(const unsigned char* bytes) {
  return uint32_t{bytes[0]} | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[3]} << 24);
}

// The register change of four bytes (as one little-endian word) of which
// the first is worth slice `slice` and the last slice `slice - 3`.
constexpr uint32_t SliceWord(uint32_t word, int slice) {
  return kCrc32Slices[slice][word & 0xFF] ^ kCrc32Slices[slice - 1][(word >> 8) & 0xFF] ^
         kCrc32Slices[slice - 2][(word >> 16) & 0xFF] ^ kCrc32Slices[slice - 3][word >> 24];
}

// Asks for the cache line 2 KiB ahead of a sliced step. On a 64 MiB input
// the hardware prefetcher alone left the sliced loop about a tenth slower
// than in cache on the benchmark machine; in cache the hint costs about 1 %.
// A hint only: compilers without the builtin, and constant evaluation, skip
// it, and a line past the end of the input is never read.
constexpr int64_t kSlicedPrefetchAhead = 2048;
constexpr void PrefetchSliced([[maybe_unused]] const unsigned char* data) {
#if defined(__GNUC__)
  // The address is formed as an integer: a pointer past the input's end
  // would not be a valid pointer, even unread.
  if (!__builtin_is_constant_evaluated()) {
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(data) + kSlicedPrefetchAhead));
  }
#endif
}

// Shorter CRC-32 inputs take the sliced table, not the folding kernels,
// whose seed, constants and final reduction cost more than a few sliced
// steps. Timed on the benchmark machine (best of 20 loops): 64 bytes 19 ns
// sliced, 25 ns folded; 128 bytes 33 ns sliced, 27 ns folded.
constexpr int64_t kCrc32SlicedBelow = 128;

constexpr uint32_t ReflectedSlicedCrc32(const unsigned char* data, int64_t length, uint32_t initial,
                                        uint32_t finalXor, bool reflectResult) {
  uint32_t reg = ReflectBits(initial, 32);
  while (length >= 16) {
    // Byte k of the step (k = 0..15) is worth slice 15 - k; the register
    // enters through the first word only, so the other twelve lookups do
    // not wait for it.
    PrefetchSliced(data);
    const uint32_t word0 = reg ^ LittleEndianWord(data);
    const uint32_t word1 = LittleEndianWord(data + 4);
    const uint32_t word2 = LittleEndianWord(data + 8);
    const uint32_t word3 = LittleEndianWord(data + 12);
    const uint32_t change = SliceWord(word1, 11) ^ SliceWord(word2, 7) ^ SliceWord(word3, 3);
    reg = change ^ SliceWord(word0, 15);
    data += 16;
    length -= 16;
  }
  for (; length > 0; --length, ++data) reg = kCrc32Slices[0][(reg ^ *data) & 0xFF] ^ (reg >> 8);
  // The register is held reflected: reflecting the result means taking it as is.
  const uint32_t value = reflectResult ? reg : ReflectBits(reg, 32);
  return value ^ finalXor;
}

// Fold constants for the catalogue polynomials in both bit orders (a caller
// of the table engines may ask for either).
constexpr CrcFoldConstants kCcittFold = BuildCrcFoldConstants(16, 0x1021, false);
constexpr CrcFoldConstants kCcittFoldReflected = BuildCrcFoldConstants(16, 0x1021, true);
constexpr CrcFoldConstants kArcFold = BuildCrcFoldConstants(16, 0x8005, false);
constexpr CrcFoldConstants kArcFoldReflected = BuildCrcFoldConstants(16, 0x8005, true);
constexpr CrcFoldConstants kCrc32Fold = BuildCrcFoldConstants(32, kCrc32Polynomial, false);
constexpr CrcFoldConstants kCrc32FoldReflected = BuildCrcFoldConstants(32, kCrc32Polynomial, true);
// The reflected 4-chunk CRC-32 pair is the one every folding CRC-32 uses;
// checking the builder's conventions against it costs nothing.
static_assert(CrcXPowerMod(32, 32, kCrc32Polynomial) == kCrc32Polynomial);
static_assert(kCrc32FoldReflected.distance[4].low == (uint64_t{ReflectBits(
                  static_cast<uint32_t>(CrcXPowerMod(4 * 128 + 32, 32, kCrc32Polynomial)), 32)} << 1));

// The first width bits of the message that stand for the starting register
// (see crc_fold.h), as 16 message bytes.
void BuildFoldSeed(uint32_t reg, int width, bool reflectInput, unsigned char seed[16]) {
  for (int index = 0; index < 16; ++index) seed[index] = 0;
  const int bytes = width / 8;
  const uint32_t bits = reflectInput ? ReflectBits(reg, width) : reg;
  for (int index = 0; index < bytes; ++index) {
    seed[index] = static_cast<unsigned char>(reflectInput ? bits >> (8 * index) : bits >> (width - 8 - 8 * index));
  }
}

// The table engine with the folding kernels in front: the register after
// the folded part, or false when no kernel runs here (short input, portable
// CPU level). *folded is the number of bytes it covers.
// `reduce` gives the CRC of the folded 16-byte chunk from a zero register,
// in the caller's fastest table engine (for reflected CRC-32 one sliced step
// instead of sixteen byte steps, which were a third of a 1 KiB CRC).
template <typename Register, typename Reduce>
bool FoldWholeChunks(const unsigned char* data, int64_t length, Register initial, int width, bool reflectInput,
                     const CrcFoldConstants& constants, Reduce reduce, Register* reg, int64_t* folded) {
  if (length < kCrcFoldMinimum) return false;
  unsigned char seed[16];
  unsigned char remainder[16];
  BuildFoldSeed(static_cast<uint32_t>(initial & WidthMask(width)), width, reflectInput, seed);
  *folded = length & ~int64_t{15};
  if (!CrcFold(data, *folded, seed, constants, remainder)) return false;
  *reg = reduce(remainder);
  return true;
}

// ---------------------------------------------------------------------------
// Compile-time checks against the catalogue
// ---------------------------------------------------------------------------

constexpr unsigned char kCheckInput[9] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

static_assert(BitwiseCrc<uint16_t>(kCheckInput, 9, 0xFFFF, 16, 0x8000, 0x1021, 0, false, false) == 0x29B1);
static_assert(BitwiseCrc<uint16_t>(kCheckInput, 9, 0, 16, 0x8000, 0x8005, 0, true, true) == 0xBB3D);
static_assert(BitwiseCrc<uint32_t>(kCheckInput, 9, 0xFFFFFFFFu, 32, 0x80000000u, kCrc32Polynomial,
                                   0xFFFFFFFFu, true, true) == 0xCBF43926u);
static_assert(TableCrc<uint16_t>(kCheckInput, 9, 0xFFFF, 16, kCcittTable, 0, false, false) == 0x29B1);
static_assert(TableCrc<uint16_t>(kCheckInput, 9, 0, 16, kArcTable, 0, true, true) == 0xBB3D);
static_assert(TableCrc<uint32_t>(kCheckInput, 9, 0xFFFFFFFFu, 32, kCrc32Table, 0xFFFFFFFFu, true, true) ==
              0xCBF43926u);
static_assert(ReflectedSlicedCrc32(kCheckInput, 9, 0xFFFFFFFFu, 0xFFFFFFFFu, true) == 0xCBF43926u);
// The check string is shorter than one sliced step: a longer input checks
// the 16-byte steps against the byte table as well.
constexpr std::array<unsigned char, 41> BuildSliceCheckInput() {
  std::array<unsigned char, 41> bytes{};
  for (int index = 0; index < 41; ++index) bytes[index] = static_cast<unsigned char>(index * 97 + 13);
  return bytes;
}
constexpr std::array<unsigned char, 41> kSliceCheckInput = BuildSliceCheckInput();
static_assert(ReflectedSlicedCrc32(kSliceCheckInput.data(), 41, 0xFFFFFFFFu, 0xFFFFFFFFu, true) ==
              TableCrc<uint32_t>(kSliceCheckInput.data(), 41, 0xFFFFFFFFu, 32, kCrc32Table, 0xFFFFFFFFu, true, true));
static_assert(kCcittTable[1] == 0x1021 && kCcittTable[255] == 0x1EF0);
static_assert(kCrc32Table[1] == 0x04C11DB7u && kCrc32Table[255] == 0xB1F740B4u);
static_assert(kCrc32Slices[0][1] == 0x77073096u, "slice 0 is the reflected (0xEDB88320) table");

}  // namespace

uint16_t CrcBitwise16(const unsigned char* data, int64_t length, uint16_t initial, int width,
                      uint16_t topBit, uint16_t polynomial, uint16_t finalXor, bool reflectInput,
                      bool reflectResult) {
  return BitwiseCrc<uint16_t>(data, length, initial, width, topBit, polynomial, finalXor, reflectInput,
                              reflectResult);
}

uint32_t CrcBitwise32(const unsigned char* data, int64_t length, uint32_t initial, int width,
                      uint32_t topBit, uint32_t polynomial, uint32_t finalXor, bool reflectInput,
                      bool reflectResult) {
  return BitwiseCrc<uint32_t>(data, length, initial, width, topBit, polynomial, finalXor, reflectInput,
                              reflectResult);
}

uint16_t CrcTable16(const unsigned char* data, int64_t length, uint16_t initial, int width,
                    uint16_t topBit, uint16_t polynomial, uint16_t finalXor, bool reflectInput,
                    bool reflectResult) {
  if (width == 16 && topBit == 0x8000 && (polynomial == 0x1021 || polynomial == 0x8005)) {
    const bool ccitt = polynomial == 0x1021;
    const CrcTable16Entries& table = ccitt ? kCcittTable : kArcTable;
    const CrcFoldConstants& fold =
        ccitt ? (reflectInput ? kCcittFoldReflected : kCcittFold) : (reflectInput ? kArcFoldReflected : kArcFold);
    uint16_t reg = 0;
    int64_t folded = 0;
    const auto reduce = [&](const unsigned char* chunk) {
      return TableCrc<uint16_t>(chunk, 16, 0, width, table, 0, reflectInput, false);
    };
    if (FoldWholeChunks<uint16_t>(data, length, initial, width, reflectInput, fold, reduce, &reg, &folded)) {
      return TableCrc<uint16_t>(data + folded, length - folded, reg, width, table, finalXor, reflectInput,
                                reflectResult);
    }
    return TableCrc<uint16_t>(data, length, initial, width, table, finalXor, reflectInput, reflectResult);
  }
  const CrcTable16Entries table = BuildCrcTable16(width, topBit, polynomial);
  return TableCrc<uint16_t>(data, length, initial, width, table, finalXor, reflectInput, reflectResult);
}

uint32_t CrcTable32(const unsigned char* data, int64_t length, uint32_t initial, int width,
                    uint32_t topBit, uint32_t polynomial, uint32_t finalXor, bool reflectInput,
                    bool reflectResult) {
  if (width == 32 && topBit == 0x80000000u && polynomial == kCrc32Polynomial) {
    if (reflectInput && length < kCrc32SlicedBelow) {
      return ReflectedSlicedCrc32(data, length, initial, finalXor, reflectResult);
    }
    uint32_t reg = 0;
    int64_t folded = 0;
    const auto reduce = [&](const unsigned char* chunk) {
      return reflectInput ? ReflectedSlicedCrc32(chunk, 16, 0, 0, false)
                          : TableCrc<uint32_t>(chunk, 16, 0, width, kCrc32Table, 0, false, false);
    };
    if (FoldWholeChunks<uint32_t>(data, length, initial, width, reflectInput,
                                  reflectInput ? kCrc32FoldReflected : kCrc32Fold, reduce, &reg, &folded)) {
      data += folded;
      length -= folded;
      initial = reg;
    }
    if (reflectInput) return ReflectedSlicedCrc32(data, length, initial, finalXor, reflectResult);
    return TableCrc<uint32_t>(data, length, initial, width, kCrc32Table, finalXor, reflectInput, reflectResult);
  }
  const CrcTable32Entries table = BuildCrcTable32(width, topBit, polynomial);
  return TableCrc<uint32_t>(data, length, initial, width, table, finalXor, reflectInput, reflectResult);
}

uint32_t ComputeCrc(const unsigned char* data, int64_t length, unsigned model, unsigned engine) {
  const bool useTable = engine == kCrcEngineTable;
  switch (model) {
    case kCrcModelCcittFalse:
      return (useTable ? CrcTable16 : CrcBitwise16)(data, length, 0xFFFF, 16, 0x8000, 0x1021, 0, false, false);
    case kCrcModelArc:
      return (useTable ? CrcTable16 : CrcBitwise16)(data, length, 0, 16, 0x8000, 0x8005, 0, true, true);
    default:
      return (useTable ? CrcTable32 : CrcBitwise32)(data, length, 0xFFFFFFFFu, 32, 0x80000000u,
                                                    kCrc32Polynomial, 0xFFFFFFFFu, true, true);
  }
}
