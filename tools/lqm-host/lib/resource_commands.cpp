// The path and resource-file commands of the emulated 4D (named_commands.h).
//
// Paths arrive in the emulated platform's syntax and are turned into real
// ones by Host::RealPath. "Test path name" answers as 4D documents it: 1 for
// a document, 0 for a folder, -43 (file not found) for anything else.
//
// "Open resource file" (497) and "GET RESOURCE" (508) join this file when the
// classic resource-file reader (tools/resfile) is linked in: one row and one
// runner each. Until then they are unknown commands (look-up answers 0), which
// the plugin treats as "command not found".
#include <system_error>

#include "host.h"
#include "named_commands.h"

namespace lqm::host {
namespace {

constexpr int32_t kTestPathDocument = 1;
constexpr int32_t kTestPathFolder = 0;

void RunTestPathName(CommandContext& c) {
  std::u16string path;
  if (!c.ArgText(0, path)) {
    c.error = kErrorBadParameter;
    return;
  }
  std::optional<std::filesystem::path> real = c.host.RealPath(path);
  std::error_code ec;
  int32_t answer = kErrorFileNotFound;
  if (real) {
    auto status = std::filesystem::status(*real, ec);
    if (!ec && std::filesystem::is_directory(status))
      answer = kTestPathFolder;
    else if (!ec && std::filesystem::exists(status))
      answer = kTestPathDocument;
  }
  c.SetResult(Value::Longint(answer));
}

}  // namespace

void AddResourceCommands(std::vector<NamedCommand>& rows) {
  rows.push_back({476, "Test path name", RunTestPathName, nullptr});
}

}  // namespace lqm::host
