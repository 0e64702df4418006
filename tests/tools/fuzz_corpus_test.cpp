// The fuzz corpora of the targets that need nothing but the plugin, replayed
// as regression tests on both builds (fuzz/corpus_replay.h), so an input
// found on Linux also guards the Windows plugin. The differential targets
// replay in the Linux interop tests (tests/interop/fuzz_corpus_test.cpp).
#include "../../fuzz/corpus_replay.h"

#include "../../fuzz/base64_fuzz.cpp"
#include "../../fuzz/cpu_paths_fuzz.cpp"
#include "../../fuzz/envelope_fuzz.cpp"
#include "../../fuzz/lzw_expand_fuzz.cpp"
#include "../../fuzz/lzw_roundtrip_fuzz.cpp"
#include "../../fuzz/plugin_sequence_fuzz.cpp"
#include "../../fuzz/rescomp_source_fuzz.cpp"
#include "../../fuzz/resfile_reader_fuzz.cpp"
#include "../../fuzz/session_line_fuzz.cpp"

namespace {

constexpr lqm_fuzz::CorpusTarget kTargets[] = {
    {"lzw_expand", lzw_expand_fuzz::FuzzLzwExpand},
    {"lzw_roundtrip", lzw_roundtrip_fuzz::FuzzLzwRoundTrip},
    {"base64", base64_fuzz::FuzzBase64},
    {"envelope", envelope_fuzz::FuzzEnvelope},
    {"resfile_reader", resfile_reader_fuzz::FuzzResfileReader},
    {"rescomp_source", rescomp_source_fuzz::FuzzRescompSource},
    {"session_line", session_line_fuzz::FuzzSessionLine},
    {"plugin_sequence", plugin_sequence_fuzz::FuzzPluginSequence},
    {"cpu_paths", cpu_paths_fuzz::FuzzCpuPaths},
};

class FuzzCorpus : public ::testing::TestWithParam<lqm_fuzz::CorpusTarget> {};

TEST_P(FuzzCorpus, EveryInputPasses) {
  lqm_fuzz::ReplayCorpus(std::filesystem::path(LQM_TEST_VECTORS_DIR) / ".." / ".." / "fuzz" / "corpus" /
                             GetParam().name,
                         GetParam());
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<lqm_fuzz::CorpusTarget>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
