// `lqm-host where`: the folder the plugin looks in for its bundle, given the
// application type, the database folder and compiled or interpreted mode.
//
// The answer comes from the plugin itself, not from a copy of its rule: the
// host is set up as that kind of 4D application, LQM_GetVersion runs the
// plugin's discovery, and the paths the plugin then gave "Test path name"
// are the places it looked. So this command cannot disagree with the plugin
// it loads.
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "call.h"
#include "charsets.h"

namespace lqm::host {
namespace {

constexpr char16_t kBundleName[] = u"VarnelFolioforge.bundle";
constexpr int32_t kGetVersionRoutine = 1;

struct WhereOptions {
  int32_t applicationType = -1;
  bool typeGiven = false;
  bool compiled = false;
  std::string database;
  std::string platform = "windows";
  std::string plugin;
};

bool ParseWhereOptions(const std::vector<std::string>& words, WhereOptions& o, std::string& error) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    auto value = [&](std::string& into) { return TakeOptionValue(words, i, into, error); };
    std::string text;
    if (word == "--compiled") {
      o.compiled = true;
    } else if (word == "--app-type") {
      if (!value(text)) return false;
      char* end = nullptr;
      const long long n = std::strtoll(text.c_str(), &end, 10);
      if (text.empty() || *end != 0 || n < INT32_MIN || n > INT32_MAX)
        return error = "--app-type needs a number, not '" + text + "'", false;
      o.applicationType = int32_t(n);
      o.typeGiven = true;
    } else if (word == "--database") {
      if (!value(o.database)) return false;
    } else if (word == "--platform") {
      if (!value(o.platform)) return false;
      if (o.platform != "windows" && o.platform != "macos")
        return error = "--platform must be windows or macos", false;
    } else if (word == "--plugin") {
      if (!value(o.plugin)) return false;
    } else {
      return error = "unexpected argument " + word, false;
    }
  }
  if (!o.typeGiven) return error = "--app-type N is missing", false;
  if (o.database.empty()) return error = "--database DIR is missing", false;
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::u8path(o.database), ec))
    return error = "'" + o.database + "' is not a folder", false;
  return true;
}

// The folder that holds the bundle in a path the plugin tested, without its
// closing separator ("...\Plugins" or "...:Plugins"); empty without one.
std::u16string PluginsFolderOf(const std::u16string& tested) {
  for (size_t at = tested.find(kBundleName); at != std::u16string::npos;
       at = tested.find(kBundleName, at + 1))
    if (at > 0 && (tested[at - 1] == u'\\' || tested[at - 1] == u':')) return tested.substr(0, at - 1);
  return {};
}

std::string Shown(const Host& host, const std::u16string& emulated) {
  const std::optional<std::filesystem::path> real = host.RealPath(emulated);
  return real ? real->lexically_normal().u8string() : Utf16ToUtf8(emulated);
}

}  // namespace

int RunWhere(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  WhereOptions o;
  std::string error;
  if (!ParseWhereOptions(words, o, error)) {
    err << "lqm-host where: " << error << "\n";
    return 2;
  }
  Host host;
  Settings settings = host.GetSettings();
  settings.platform = o.platform == "macos" ? Platform::kMacOS : Platform::kWindows;
  settings.applicationType = o.applicationType;
  settings.compiled = o.compiled;
  settings.appFolder = std::filesystem::absolute(std::filesystem::u8path(o.database));
  host.SetSettings(settings);
  const std::filesystem::path plugin = o.plugin.empty() ? DefaultPluginPath() : std::filesystem::u8path(o.plugin);
  if (!host.LoadPlugin(plugin, error)) {
    err << "lqm-host: " << error << "\n";
    return 2;
  }
  host.Select(abi::kSelectorInit);
  const CallOutcome version = host.Call(kGetVersionRoutine, {});
  const std::vector<std::u16string> tested = host.GetStats().pathsTested;
  bool found;
  {
    std::lock_guard<std::mutex> lock(host.resourceFilesMutex());
    found = !host.openResourceFiles().empty();
  }
  host.Select(abi::kSelectorDeinit);

  out << "application type " << o.applicationType << ", " << (o.compiled ? "compiled" : "interpreted") << ", "
      << o.platform << "\n"
      << "database folder:  " << Utf16ToUtf8(host.EmulatedPath(settings.appFolder)) << "\n";
  if (tested.empty()) {
    // The plugin gave up before asking about any file: it builds no path
    // for an application type it does not know, or for one too long.
    const bool known = o.applicationType == 0 || o.applicationType == 1 || o.applicationType == 4 ||
                       o.applicationType == 5;
    out << (known ? "not found: the database folder's path is too long for the plugin\n"
                  : "not found: the plugin refuses this application type (it knows 0, 1, 4 and 5) and looks "
                    "nowhere\n");
    return 1;
  }
  out << "plugins folder:   " << Shown(host, PluginsFolderOf(tested.front())) << "\n";
  for (const std::u16string& path : tested) out << "looked for:       " << Shown(host, path) << "\n";
  if (!found) {
    out << "not found: commands that need the resource files give empty results\n";
    return 1;
  }
  out << "found: LQM_GetVersion returns "
      << (version.result ? DescribeValue(*version.result) : std::string("nothing")) << "\n";
  return 0;
}

}  // namespace lqm::host
