// What every fuzz target shares: the entry macro, the answer check and a
// reader that turns the fuzzer's bytes into choices.
//
// Each target is one function `int Fuzz...(const uint8_t*, size_t)` in its
// own namespace. Built for libFuzzer (fuzz/CMakeLists.txt defines
// LQM_FUZZ_ENTRY_POINT) LQM_FUZZ_ENTRY turns it into LLVMFuzzerTestOneInput;
// built into the test suite (tests/tools/fuzz_corpus_test.cpp includes every
// target file) it adds nothing, and the test replays each corpus file
// through the same function. So a corpus file is a regression test on both
// builds, and a target never relies on anything only libFuzzer provides.
//
// A failed answer check calls gFuzzCheckFailed: under libFuzzer it prints
// and aborts (the fuzzer then saves the input); the test suite replaces it
// with one that records a test failure and lets the replay go on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(LQM_FUZZ_ENTRY_POINT)
#define LQM_FUZZ_ENTRY(function)                                              \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
    return function(data, size);                                             \
  }
#else
#define LQM_FUZZ_ENTRY(function)
#endif

namespace lqm_fuzz {

using CheckFailedFunction = void (*)(const char* file, int line, const char* condition);

inline void AbortOnFailedCheck(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: answer check failed: %s\n", file, line, condition);
  std::abort();
}

inline CheckFailedFunction gFuzzCheckFailed = AbortOnFailedCheck;

// An answer check: a wrong result is as much a finding as a crash.
#define LQM_FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::lqm_fuzz::gFuzzCheckFailed(__FILE__, __LINE__, #condition))

// Hands out the input front to back; past the end every read gives zeros,
// so a short input is still a complete (if dull) set of choices.
struct FuzzInput {
  const uint8_t* data;
  size_t size;
  size_t position = 0;

  FuzzInput(const uint8_t* bytes, size_t count) : data(bytes), size(count) {}

  size_t Remaining() const { return size - position; }
  bool AtEnd() const { return position >= size; }
  uint8_t Byte() { return position < size ? data[position++] : 0; }
  uint16_t Uint16() {
    const uint16_t low = Byte();
    return uint16_t(low | (Byte() << 8));
  }
  int32_t Int32() {
    uint32_t value = Byte();
    value |= uint32_t(Byte()) << 8;
    value |= uint32_t(Byte()) << 16;
    value |= uint32_t(Byte()) << 24;
    return int32_t(value);
  }
  // Up to `limit` bytes, the count taken from the next byte.
  std::vector<uint8_t> ShortBytes(size_t limit) {
    size_t count = Byte();
    if (count > limit) count = limit;
    if (count > Remaining()) count = Remaining();
    std::vector<uint8_t> bytes(data + position, data + position + count);
    position += count;
    return bytes;
  }
  std::vector<uint8_t> Rest() {
    std::vector<uint8_t> bytes(data + position, data + size);
    position = size;
    return bytes;
  }
};

}  // namespace lqm_fuzz
