// Replays a fuzz corpus as a GoogleTest test: every file under
// fuzz/corpus/<target>/ goes through its target's function, compiled into the
// test program from the same source file as the fuzzer (without libFuzzer's
// entry). A crash stops the suite as it would the fuzzer; a failed answer
// check becomes a test failure naming the file, and the replay goes on.
//
// Used by the unit tests (targets that need nothing but the plugin, both
// builds) and by the Linux interop tests (targets that compare with a Linux
// library). Each target must have seeds: an empty folder fails, so a
// renamed target cannot silently stop being replayed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_target.h"

namespace lqm_fuzz {

struct CorpusTarget {
  const char* name;  // the folder under fuzz/corpus
  int (*run)(const uint8_t* data, size_t size);
};

// The file being replayed, for the failure message.
inline std::string gCurrentInput;

inline void RecordFailedCheck(const char* file, int line, const char* condition) {
  ADD_FAILURE_AT(file, line) << "answer check failed: " << condition << "\n  input: " << gCurrentInput;
}

inline void ReplayCorpus(const std::filesystem::path& folder, const CorpusTarget& target) {
  std::vector<std::filesystem::path> inputs;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  ASSERT_FALSE(error) << folder.string() << ": " << error.message();
  ASSERT_FALSE(inputs.empty()) << "no seeds in " << folder.string();
  std::sort(inputs.begin(), inputs.end());

  const CheckFailedFunction previous = gFuzzCheckFailed;
  gFuzzCheckFailed = RecordFailedCheck;
  for (const std::filesystem::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    gCurrentInput = input.filename().string();
    // A copy of exactly the file's size, so that ASan sees a read past its end.
    std::vector<uint8_t> exact(bytes);
    target.run(exact.empty() ? nullptr : exact.data(), exact.size());
  }
  gFuzzCheckFailed = previous;
}

}  // namespace lqm_fuzz
