// The corpora of the differential fuzz targets, which compare with libtiff
// and zlib and so exist only where those libraries do (Linux), replayed as
// regression tests (fuzz/corpus_replay.h).
#include "../../fuzz/corpus_replay.h"

#include "../../fuzz/crc32_zlib_fuzz.cpp"
#include "../../fuzz/lzw_tiff_fuzz.cpp"

namespace {

constexpr lqm_fuzz::CorpusTarget kTargets[] = {
    {"lzw_tiff", lzw_tiff_fuzz::FuzzLzwTiff},
    {"crc32_zlib", crc32_zlib_fuzz::FuzzCrc32Zlib},
};

class FuzzCorpus : public ::testing::TestWithParam<lqm_fuzz::CorpusTarget> {};

TEST_P(FuzzCorpus, EveryInputPasses) {
  lqm_fuzz::ReplayCorpus(std::filesystem::path(LQM_FUZZ_CORPUS_DIR) / GetParam().name, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Differential, FuzzCorpus, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<lqm_fuzz::CorpusTarget>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
