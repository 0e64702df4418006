// lqm-gen: writes the files that are expanded from the command table
// (src/host/commands.def), so that none of them repeats it by hand.
//
//   lqm-gen manifest OUT      the bundle's manifest.json
//   lqm-gen commands-md OUT   docs/commands.md, with the prose of
//                             src/frame/command_docs.def
//
// 4D numbers a plugin's commands by their position in the manifest, so the
// routine numbers without a row get inert placeholder entries. The manifest
// carries the CMake project version, the one source of the version that the
// "vers" resource, Info.plist and the distribution's name also take.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "command_docs.h"
#include "frame/command_table.h"

namespace {

constexpr const char* kPluginName = "VarnelFolioforge";
constexpr int kPluginId = 16384;  // third-party plugins use 15000..32767

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Syntax(const CommandInfo& row) {
  std::string syntax(row.name);
  if (!row.parameters.empty()) {
    syntax += '(';
    for (size_t i = 0; i < row.parameters.size(); ++i) {
      if (i > 0) syntax += ';';
      syntax += '&';
      syntax += row.parameters[i];
    }
    syntax += ')';
  }
  if (!row.result.empty()) syntax += ":" + std::string(row.result);
  return syntax;
}

std::string Manifest() {
  std::ostringstream out;
  out << "{\n  \"name\": " << JsonString(kPluginName) << ",\n  \"id\": " << kPluginId
      << ",\n  \"version\": " << JsonString(LQM_VERSION) << ",\n  \"commands\": [\n";
  for (int32_t number = 1; number <= kHighestRoutine; ++number) {
    const CommandInfo* row = FindCommand(number);
    out << "    {";
    if (row != nullptr) {
      out << "\"theme\": " << JsonString(row->theme) << ", \"syntax\": " << JsonString(Syntax(*row));
      if (row->threadSafe) out << ", \"threadSafe\": true";
    } else {
      out << "\"theme\": \"LQM Reserved\", \"syntax\": \"LQM_Reserved" << number << "\"";
    }
    out << "}" << (number < kHighestRoutine ? "," : "") << "\n";
  }
  out << "  ]\n}\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc == 3 ? argv[1] : "";
  if (what != "manifest" && what != "commands-md") {
    std::fprintf(stderr, "usage: lqm-gen manifest OUT\n       lqm-gen commands-md OUT\n");
    return 2;
  }
  std::ofstream file(argv[2], std::ios::binary);
  file << (what == "manifest" ? Manifest() : lqm::docs::CommandsMarkdown());
  file.close();
  if (!file) {
    std::fprintf(stderr, "lqm-gen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
