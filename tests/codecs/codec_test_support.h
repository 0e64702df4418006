// Helpers shared by the codec tests: the vector files of tests/vectors, hex
// conversion, reproducible pseudo-random inputs of several shapes, and
// PluginMalloc blocks built from byte vectors (the kernels take ownership).
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/plugin_heap.h"

namespace codec_test {

using Bytes = std::vector<unsigned char>;

inline std::vector<std::vector<std::string>> ReadVectorFile(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream file(std::string(LQM_TEST_VECTORS_DIR) + "/" + name);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string field; fields >> field;) row.push_back(field);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

inline Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  if (hex == "-") return bytes;
  for (size_t position = 0; position + 1 < hex.size(); position += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(position, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

inline Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A PluginMalloc copy of the bytes (null for none), as the kernels expect.
inline unsigned char* HeapCopy(const Bytes& bytes) {
  if (bytes.empty()) return nullptr;
  auto* block = static_cast<unsigned char*>(PluginMalloc(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

// Takes a kernel's block back as bytes and frees it.
inline Bytes TakeBlock(unsigned char* block, int64_t length) {
  Bytes bytes;
  if (block != nullptr && length > 0) bytes.assign(block, block + length);
  PluginFree(block);
  return bytes;
}

// Input shapes that exercise different dictionary growth: uniform noise
// (short strings), a small alphabet (long strings), runs, and text.
enum class Shape { kNoise, kSmallAlphabet, kRuns, kText };

inline Bytes MakeInput(Shape shape, size_t length, uint32_t seed, int highestSymbol = 255) {
  std::mt19937 random(seed);
  Bytes bytes(length);
  const int span = highestSymbol + 1;
  switch (shape) {
    case Shape::kNoise:
      for (auto& byte : bytes) byte = static_cast<unsigned char>(random() % span);
      break;
    case Shape::kSmallAlphabet:
      for (auto& byte : bytes) byte = static_cast<unsigned char>(random() % (span < 4 ? span : 4));
      break;
    case Shape::kRuns:
      for (size_t position = 0; position < length;) {
        const auto value = static_cast<unsigned char>(random() % span);
        for (size_t run = 1 + random() % 40; run > 0 && position < length; --run) bytes[position++] = value;
      }
      break;
    case Shape::kText: {
      static const char kWords[][8] = {"the ", "lzw ", "code ", "table ", "page ", "of ", "a "};
      std::string text;
      while (text.size() < length) text += kWords[random() % 7];
      for (size_t position = 0; position < length; ++position) {
        bytes[position] = static_cast<unsigned char>(static_cast<unsigned char>(text[position]) % span);
      }
      break;
    }
  }
  return bytes;
}

}  // namespace codec_test
