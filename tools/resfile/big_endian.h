// Big-endian loads and stores for the resource-file library.
//
// Every integer in a classic resource file is big-endian, whatever the host.
// Loads read through unsigned bytes so that no alignment or host byte order is
// assumed; the caller has already checked that the bytes are there. Signed
// fields are loaded unsigned and converted by the caller, which keeps the
// two's-complement step in one place (LoadBigEndianInt16).
#pragma once

#include <cstdint>
#include <vector>

namespace resfile {

inline uint16_t LoadBigEndian16(const uint8_t* bytes) {
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

inline int16_t LoadBigEndianInt16(const uint8_t* bytes) {
  return static_cast<int16_t>(LoadBigEndian16(bytes));
}

inline uint32_t LoadBigEndian24(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
}

inline uint32_t LoadBigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
         (uint32_t{bytes[2]} << 8) | bytes[3];
}

inline void StoreBigEndian16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 8);
  bytes[1] = static_cast<uint8_t>(value);
}

inline void StoreBigEndian24(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 16);
  bytes[1] = static_cast<uint8_t>(value >> 8);
  bytes[2] = static_cast<uint8_t>(value);
}

inline void StoreBigEndian32(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 24);
  bytes[1] = static_cast<uint8_t>(value >> 16);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  bytes[3] = static_cast<uint8_t>(value);
}

inline void AppendBigEndian16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

inline void AppendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

}  // namespace resfile
