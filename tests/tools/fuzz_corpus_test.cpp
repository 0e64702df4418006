// The fuzz corpora as regression tests: every file under fuzz/corpus/<target>/
// goes through its target's function, compiled here from the same source
// file as the fuzzer (fuzz/<target>_fuzz.cpp, without libFuzzer's entry).
// A crash stops the suite as it would the fuzzer; a failed answer check
// becomes a test failure naming the file, and the replay goes on.
//
// Runs on both builds, so an input found on Linux also guards the Windows
// plugin. Each target must have seeds: an empty folder fails, so a renamed
// target cannot silently stop being replayed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/base64_fuzz.cpp"
#include "../../fuzz/envelope_fuzz.cpp"
#include "../../fuzz/lzw_expand_fuzz.cpp"
#include "../../fuzz/lzw_roundtrip_fuzz.cpp"
#include "../../fuzz/plugin_sequence_fuzz.cpp"
#include "../../fuzz/rescomp_source_fuzz.cpp"
#include "../../fuzz/resfile_reader_fuzz.cpp"
#include "../../fuzz/session_line_fuzz.cpp"

namespace {

namespace fs = std::filesystem;

struct FuzzTarget {
  const char* name;  // the folder under fuzz/corpus
  int (*run)(const uint8_t* data, size_t size);
};

constexpr FuzzTarget kTargets[] = {
    {"lzw_expand", lzw_expand_fuzz::FuzzLzwExpand},
    {"lzw_roundtrip", lzw_roundtrip_fuzz::FuzzLzwRoundTrip},
    {"base64", base64_fuzz::FuzzBase64},
    {"envelope", envelope_fuzz::FuzzEnvelope},
    {"resfile_reader", resfile_reader_fuzz::FuzzResfileReader},
    {"rescomp_source", rescomp_source_fuzz::FuzzRescompSource},
    {"session_line", session_line_fuzz::FuzzSessionLine},
    {"plugin_sequence", plugin_sequence_fuzz::FuzzPluginSequence},
};

fs::path CorpusFolder(const char* target) {
  return fs::path(LQM_TEST_VECTORS_DIR) / ".." / ".." / "fuzz" / "corpus" / target;
}

// The file being replayed, for the failure message.
std::string gCurrentInput;

void RecordFailedCheck(const char* file, int line, const char* condition) {
  ADD_FAILURE_AT(file, line) << "answer check failed: " << condition << "\n  input: " << gCurrentInput;
}

class FuzzCorpus : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzCorpus, EveryInputPasses) {
  const FuzzTarget& target = GetParam();
  std::vector<fs::path> inputs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(CorpusFolder(target.name), error))
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  ASSERT_FALSE(error) << CorpusFolder(target.name).string() << ": " << error.message();
  ASSERT_FALSE(inputs.empty()) << "no seeds in " << CorpusFolder(target.name).string();
  std::sort(inputs.begin(), inputs.end());

  const lqm_fuzz::CheckFailedFunction previous = lqm_fuzz::gFuzzCheckFailed;
  lqm_fuzz::gFuzzCheckFailed = RecordFailedCheck;
  for (const fs::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    gCurrentInput = input.filename().string();
    // A copy of exactly the file's size, so that ASan sees a read past its end.
    std::vector<uint8_t> exact(bytes);
    target.run(exact.empty() ? nullptr : exact.data(), exact.size());
  }
  lqm_fuzz::gFuzzCheckFailed = previous;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
