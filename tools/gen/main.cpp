// lqm-gen: writes the files that are expanded from the command table
// (src/host/commands.def), so that none of them repeats it by hand.
//
//   lqm-gen manifest OUT      the bundle's manifest.json
//   lqm-gen commands-md OUT   docs/commands.md, with the prose of
//                             src/frame/command_docs.def
//   lqm-gen constants-xlf OUT the bundle's constants.xlf, from the constants
//                             table (src/host/constants.def)
//
// The manifest (manifest.h) carries the CMake project version, the one source
// of the version that the "vers" resource, Info.plist and the distribution's
// name also take.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command_docs.h"
#include "constants_xlf.h"
#include "frame/command_table.h"
#include "manifest.h"

namespace {

constexpr lqm::gen::ManifestHeader kManifestHeader{
    "VarnelFolioforge", 16384,  // third-party plugins use ids 15000..32767
    LQM_VERSION};

std::string Manifest() {
  const std::vector<CommandInfo> rows(std::begin(kCommandTable), std::end(kCommandTable));
  return lqm::gen::ManifestJson(kManifestHeader, rows, kHighestRoutine);
}

std::string ConstantsFile() {
  const std::vector<lqm::gen::ConstantRow> rows = {
#define LQM_CONSTANT(id, theme, name, value, type) {theme, name, value, type},
#include "host/constants.def"
#undef LQM_CONSTANT
  };
  return lqm::gen::ConstantsXlf(rows);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc == 3 ? argv[1] : "";
  if (what != "manifest" && what != "commands-md" && what != "constants-xlf") {
    std::fprintf(stderr, "usage: lqm-gen manifest|commands-md|constants-xlf OUT\n");
    return 2;
  }
  std::string text;
  try {
    text = what == "manifest"        ? Manifest()
           : what == "constants-xlf" ? ConstantsFile()
                                     : lqm::docs::CommandsMarkdown();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lqm-gen: %s\n", e.what());
    return 1;
  }
  std::ofstream file(argv[2], std::ios::binary);
  file << text;
  file.close();
  if (!file) {
    std::fprintf(stderr, "lqm-gen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
