// Base64 written from the rules alone, character by character, for the fuzz
// target and the tests to compare every fast path with. It shares no table
// or code with src/codecs, so a wrong table there cannot hide here.
//
// Decoding: bytes outside the alphabet are skipped; the first "=" ends the
// data, and a group of c characters it closes gives c - 1 bytes; a group
// left open at the end gives nothing. Encoding: 4 characters per started
// group of 3 bytes, zero bits filling the last character, "=" for each
// missing byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace base64_reference {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

inline std::vector<uint8_t> ReferenceDecode(const std::vector<uint8_t>& text) {
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int count = 0;
  bool padded = false;
  for (uint8_t byte : text) {
    if (byte == '=') {
      padded = true;
      break;
    }
    const char* found = byte != 0 ? std::strchr(kAlphabet, byte) : nullptr;
    if (found == nullptr) continue;
    bits = (bits << 6) | uint32_t(found - kAlphabet);
    if (++count == 4) {
      out.push_back(uint8_t(bits >> 16));
      out.push_back(uint8_t(bits >> 8));
      out.push_back(uint8_t(bits));
      bits = 0;
      count = 0;
    }
  }
  if (padded && count >= 2) {
    bits <<= 6 * (4 - count);
    for (int index = 0; index < count - 1; ++index) out.push_back(uint8_t(bits >> (16 - 8 * index)));
  }
  return out;
}

inline std::vector<uint8_t> ReferenceEncode(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < data.size(); at += 3) {
    const size_t have = data.size() - at < 3 ? data.size() - at : 3;
    uint32_t bits = 0;
    for (size_t index = 0; index < 3; ++index) bits = bits << 8 | (index < have ? data[at + index] : 0);
    for (size_t index = 0; index < 4; ++index) {
      out.push_back(index <= have ? uint8_t(kAlphabet[(bits >> (18 - 6 * index)) & 63]) : uint8_t('='));
    }
  }
  return out;
}

}  // namespace base64_reference
