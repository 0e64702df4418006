// CRC engines: a bitwise and a table-driven engine in 16- and 32-bit widths,
// parameterised like the CRC catalogue (width, polynomial in normal form
// without its top term, initial value, input and result reflection, final
// XOR), and ComputeCrc, which picks one of three fixed models by number.
//
//   model 0  CRC-16/IBM-3740 (CCITT-FALSE)  poly 0x1021, init 0xFFFF, no reflection
//   model 1  CRC-16/ARC                      poly 0x8005, init 0, reflected
//   model 2  CRC-32/ISO-HDLC                 poly 0x04C11DB7, init and xorout 0xFFFFFFFF, reflected
//
// Every engine gives the same value for the same arguments; reflection is
// applied to the data bytes and the final register, never to the polynomial.
// With a length of 0 an engine returns the initial value after the final step.
#pragma once

#include <array>
#include <cstdint>

// The lowest `count` bits of value in reverse order; higher bits are ignored.
// The whole word is reversed by swapping ever larger halves (a few
// operations instead of a loop over the bits: every CRC call reflects its
// register), then the reflected low bits are brought down.
constexpr uint32_t ReflectBits(uint32_t value, int count) {
  if (count <= 0) return 0;
  value = ((value >> 1) & 0x55555555u) | ((value & 0x55555555u) << 1);
  value = ((value >> 2) & 0x33333333u) | ((value & 0x33333333u) << 2);
  value = ((value >> 4) & 0x0F0F0F0Fu) | ((value & 0x0F0F0F0Fu) << 4);
  value = ((value >> 8) & 0x00FF00FFu) | ((value & 0x00FF00FFu) << 8);
  value = (value >> 16) | (value << 16);
  return value >> (32 - count);
}

using CrcTable16Entries = std::array<uint16_t, 256>;
using CrcTable32Entries = std::array<uint32_t, 256>;

// The 256 register values for one byte fed into a zero register, MSB first.
constexpr CrcTable16Entries BuildCrcTable16(int width, uint16_t topBit, uint16_t polynomial) {
  CrcTable16Entries table{};
  const uint32_t mask = width >= 16 ? 0xFFFFu : (1u << width) - 1;
  for (uint32_t index = 0; index < 256; ++index) {
    uint32_t value = (index << (width - 8)) & mask;
    for (int step = 0; step < 8; ++step) {
      value = ((value & topBit) ? (value << 1) ^ polynomial : value << 1) & mask;
    }
    table[index] = static_cast<uint16_t>(value);
  }
  return table;
}

constexpr CrcTable32Entries BuildCrcTable32(int width, uint32_t topBit, uint32_t polynomial) {
  CrcTable32Entries table{};
  const uint64_t mask = (uint64_t{1} << width) - 1;
  for (uint32_t index = 0; index < 256; ++index) {
    uint64_t value = (uint64_t{index} << (width - 8)) & mask;
    for (int step = 0; step < 8; ++step) {
      value = ((value & topBit) ? (value << 1) ^ polynomial : value << 1) & mask;
    }
    table[index] = static_cast<uint32_t>(value);
  }
  return table;
}

uint16_t CrcBitwise16(const unsigned char* data, int64_t length, uint16_t initial, int width,
                      uint16_t topBit, uint16_t polynomial, uint16_t finalXor, bool reflectInput,
                      bool reflectResult);
uint16_t CrcTable16(const unsigned char* data, int64_t length, uint16_t initial, int width,
                    uint16_t topBit, uint16_t polynomial, uint16_t finalXor, bool reflectInput,
                    bool reflectResult);
uint32_t CrcBitwise32(const unsigned char* data, int64_t length, uint32_t initial, int width,
                      uint32_t topBit, uint32_t polynomial, uint32_t finalXor, bool reflectInput,
                      bool reflectResult);
uint32_t CrcTable32(const unsigned char* data, int64_t length, uint32_t initial, int width,
                    uint32_t topBit, uint32_t polynomial, uint32_t finalXor, bool reflectInput,
                    bool reflectResult);

// ComputeCrc's numbering, which 4D code reaches through command 46 (the
// plugin's named constants are checked against these).
inline constexpr unsigned kCrcModelCcittFalse = 0;
inline constexpr unsigned kCrcModelArc = 1;
inline constexpr unsigned kCrcModelIsoHdlc = 2;
inline constexpr unsigned kCrcEngineBitwise = 0;
inline constexpr unsigned kCrcEngineTable = 1;

// Model 0, 1 or 2 (anything above 2 is model 2); engine 1 table-driven,
// anything else bitwise. 16-bit values are zero-extended.
uint32_t ComputeCrc(const unsigned char* data, int64_t length, unsigned model, unsigned engine);
