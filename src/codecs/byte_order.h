// Byte order of multi-byte units inside byte buffers.
//
// The envelope keeps its cipher words big-endian and the resource readers get
// some 16-bit values little-endian; both ask these routines to turn a buffer
// of whole units between that order and the host's own. Each routine works in
// place, touches only whole units from the start of the buffer and leaves the
// length % unitSize bytes at the end as they are. gHostBigEndian (frame/state.h)
// decides whether a conversion is a reversal or nothing.
#pragma once

#include <cstdint>

// Reverses the bytes inside each whole unit of unitSize bytes. Does nothing
// for a null buffer, a length below 1 or below unitSize, or a unitSize below 2.
void ReverseByteUnits(void* buffer, int64_t length, int unitSize);

// Between big-endian units and host units (the same reversal both ways).
void UnitsToBigEndian(void* buffer, int64_t length, int unitSize);

// Between little-endian units and host units.
void UnitsToLittleEndian(void* buffer, int64_t length, int unitSize);
