// Temporary 4D application folders for tests that run the plugin's discovery
// against real files: one fresh folder per test under the system's temp
// directory (named after the test, with a random suffix so that developers
// sharing a machine never collide), removed when the test ends.
//
// Resource files are compiled from source text with tools/resfile, in the
// language of bundle/resources.txt.in; `sealed` bodies go through the
// plugin's own envelope, as at build time. Nothing here forks or runs a
// program, so it works the same in the Linux build and under wine.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "rescomp/seal_envelope.h"
#include "resfile/resource_source.h"

namespace lqm::testing {

class TempAppFolder {
 public:
  TempAppFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("lqm-") + info->test_suite_name() + "-" + info->name();
    for (char& c : name)
      if (c == '/' || c == '\\' || c == ':') c = '_';
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(random()));
    std::filesystem::create_directories(root_);
  }
  ~TempAppFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempAppFolder(const TempAppFolder&) = delete;
  TempAppFolder& operator=(const TempAppFolder&) = delete;

  const std::filesystem::path& root() const { return root_; }

  // The bundle's Contents folder inside the folder that holds "Plugins".
  static std::filesystem::path Contents(const std::filesystem::path& pluginsParent) {
    return pluginsParent / "Plugins" / "VarnelFolioforge.bundle" / "Contents";
  }
  static std::filesystem::path WindowsMainFile(const std::filesystem::path& pluginsParent) {
    return Contents(pluginsParent) / "Windows64" / "VarnelFolioforge.rsr";
  }
  static std::filesystem::path MacMainFile(const std::filesystem::path& pluginsParent) {
    return Contents(pluginsParent) / "Resources" / "VarnelFolioforge.rsrc";
  }
  static std::filesystem::path LocalizedFile(const std::filesystem::path& pluginsParent) {
    return Contents(pluginsParent) / "Resources" / "English.lproj" / "Localized.rsrc";
  }

  static void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << file.string();
  }

  // The bytes of a resource file; fails the test (and gives no bytes) when
  // the source does not compile.
  static std::vector<uint8_t> Compile(const std::string& source) {
    resfile::CompileOptions options;
    options.seal = resfile::SealWithEnvelope;
    resfile::CompileResult result = resfile::CompileResourceSource(source, "test.r", options);
    EXPECT_TRUE(result.ok) << result.message;
    return result.ok ? result.fileBytes : std::vector<uint8_t>{};
  }

 private:
  std::filesystem::path root_;
};

}  // namespace lqm::testing
