// Byte order of multi-byte units inside byte buffers.
//
// The envelope keeps its cipher words big-endian and the resource readers get
// some 16-bit values little-endian; both ask these routines to turn a buffer
// of whole units between that order and the machine's own. Each routine works
// in place, touches only whole units from the start of the buffer and leaves
// the length % unitSize bytes at the end as they are. The machine's order is
// known to the compiler, so it is a constant here rather than something
// probed at run time: a conversion to the machine's own order compiles away.
#pragma once

#include <cstdint>

#if !defined(__BYTE_ORDER__) || !defined(__ORDER_BIG_ENDIAN__) || !defined(__ORDER_LITTLE_ENDIAN__)
#error "the compiler does not tell the byte order (__BYTE_ORDER__)"
#endif

inline constexpr bool kHostBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
static_assert(kHostBigEndian || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "mixed-endian machines are not supported");

// Reverses the bytes inside each whole unit of unitSize bytes. Does nothing
// for a null buffer, a length below 1 or below unitSize, or a unitSize below 2.
void ReverseByteUnits(void* buffer, int64_t length, int unitSize);

// Between big-endian units and machine units (the same reversal both ways).
inline void UnitsToBigEndian(void* buffer, int64_t length, int unitSize) {
  if constexpr (!kHostBigEndian) ReverseByteUnits(buffer, length, unitSize);
}

// Between little-endian units and machine units.
inline void UnitsToLittleEndian(void* buffer, int64_t length, int unitSize) {
  if constexpr (kHostBigEndian) ReverseByteUnits(buffer, length, unitSize);
}
