// lqm-host: the development host's command line.
//
//   lqm-host session [options]          the JSON-lines protocol (lib/session.h)
//   lqm-host demo [options]             a short scripted session, for people
//   lqm-host call NAME|NUMBER ARGS...   one command, with a compact argument syntax
//   lqm-host --help                     usage and the plugin's commands
//
// Options: --no-init, --platform windows|macos|unknown, --app-folder DIR,
// --plugin PATH, and for `call` --out FILE. Arguments are parsed by hand: the
// Windows build has no command-line library.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "charsets.h"
#include "frame/command_table.h"
#include "named_commands.h"
#include "printdoc/print_session.h"
#include "session.h"

using namespace lqm::host;

namespace {

struct Options {
  bool init = true;
  std::string platform;
  std::string appFolder;
  std::string plugin;
  std::string out;
  std::vector<std::string> positional;
};

constexpr const char* kUsage =
    "usage:\n"
    "  lqm-host session [--no-init] [--platform windows|macos] [--app-folder DIR] [--plugin PATH]\n"
    "      one JSON request per line on standard input, one JSON answer per line out\n"
    "  lqm-host demo [--platform ...] [--app-folder DIR] [--plugin PATH]\n"
    "      initialises the plugin and shows what a few commands return\n"
    "  lqm-host call NAME|NUMBER [ARG ...] [--out FILE] [--no-init] [other options]\n"
    "      runs one command; an argument is typed by the command's declared parameter,\n"
    "      or explicitly:  L:5  I:2  R:1.5  H:5 (time)  T:text  O:BLOB  or a JSON typed value\n"
    "      BLOBs:  text:123456789  hex:414243  base64:QUJD  @FILE\n"
    "      --out FILE writes a BLOB result to FILE\n"
    "  lqm-host --help\n";

bool ParseOptions(int argc, char** argv, int first, Options& o, std::string& error) {
  for (int i = first; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return error = a + " needs a value", false;
      into = argv[++i];
      return true;
    };
    if (a == "--no-init") o.init = false;
    else if (a == "--platform") { if (!value(o.platform)) return false; }
    else if (a == "--app-folder") { if (!value(o.appFolder)) return false; }
    else if (a == "--plugin") { if (!value(o.plugin)) return false; }
    else if (a == "--out") { if (!value(o.out)) return false; }
    else if (a.size() > 2 && a.compare(0, 2, "--") == 0) return error = "unknown option " + a, false;
    else o.positional.push_back(a);
  }
  if (!o.platform.empty() && o.platform != "windows" && o.platform != "macos" &&
      o.platform != "unknown")
    return error = "--platform must be windows, macos or unknown", false;
  return true;
}

// Loads the plugin and applies the options; false with a message.
bool PrepareHost(Host& host, const Options& o, std::string& error) {
  Settings settings = host.GetSettings();
  if (o.platform == "macos") settings.platform = Platform::kMacOS;
  if (o.platform == "unknown") settings.platform = Platform::kUnknown;
  if (!o.appFolder.empty()) settings.appFolder = std::filesystem::u8path(o.appFolder);
  host.SetSettings(settings);
  std::filesystem::path plugin = o.plugin.empty() ? DefaultPluginPath() : std::filesystem::u8path(o.plugin);
  if (!host.LoadPlugin(plugin, error)) return false;
  if (o.init) host.Select(lqm::abi::kSelectorInit);
  return true;
}

void SetBinaryStreams() {
#if defined(_WIN32)
  // The protocol's lines end in "\n" on every platform.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

// ---------------------------------------------------------------------------
// session
// ---------------------------------------------------------------------------

int RunSession(const Options& o) {
  SetBinaryStreams();
  Session session;
  std::string error;
  if (!PrepareHost(session.host, o, error)) {
    std::cerr << "lqm-host: " << error << "\n";
    return 2;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string answer = HandleSessionLine(session, line);
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// call: compact arguments
// ---------------------------------------------------------------------------

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool ParseBlob(const std::string& text, Value& out, std::string& error) {
  std::vector<uint8_t> bytes;
  if (text.compare(0, 5, "text:") == 0) {
    bytes.assign(text.begin() + 5, text.end());
  } else if (text.compare(0, 4, "hex:") == 0) {
    std::string hex = text.substr(4);
    if (hex.size() % 2) return error = "odd number of hex digits", false;
    for (size_t i = 0; i < hex.size(); i += 2) {
      unsigned byte;
      if (std::sscanf(hex.c_str() + i, "%2x", &byte) != 1) return error = "bad hex digits", false;
      bytes.push_back(uint8_t(byte));
    }
  } else if (text.compare(0, 7, "base64:") == 0) {
    if (!Base64Decode(text.substr(7), bytes)) return error = "bad Base64", false;
  } else if (!text.empty() && text[0] == '@') {
    if (!ReadFileBytes(text.substr(1), bytes)) return error = "cannot read " + text.substr(1), false;
  } else {
    bytes.assign(text.begin(), text.end());
  }
  out = Value::Blob(std::move(bytes));
  return true;
}

bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t& out) {
  try {
    size_t used;
    long long v = std::stoll(text, &used, 0);
    if (used != text.size() || v < low || v > high) return false;
    out = v;
    return true;
  } catch (...) {
    return false;
  }
}

bool ParseArgument(const std::string& arg, char declared, Value& out, std::string& error) {
  char letter = declared;
  std::string text = arg;
  if (arg.size() >= 2 && arg[1] == ':' && std::string("LIRHTOB").find(arg[0]) != std::string::npos) {
    letter = arg[0];
    text = arg.substr(2);
  } else if (!arg.empty() && arg[0] == '{') {
    try {
      return ValueFromJson(nlohmann::json::parse(arg), out, error);
    } catch (const std::exception&) {
      return error = "not a JSON typed value: " + arg, false;
    }
  }
  int64_t n;
  switch (letter) {
    case 'L':
    case 'H':
      if (!ParseInteger(text, INT32_MIN, INT32_MAX, n)) return error = "not a longint: " + text, false;
      out = letter == 'L' ? Value::Longint(int32_t(n)) : Value::Time(int32_t(n));
      return true;
    case 'I':
      if (!ParseInteger(text, -32768, 65535, n)) return error = "not an integer: " + text, false;
      out = Value::Integer(int16_t(uint16_t(n)));
      return true;
    case 'R':
      try {
        out = Value::Real(std::stod(text));
        return true;
      } catch (...) {
        return error = "not a real: " + text, false;
      }
    case 'B': out = Value::Boolean(text == "true" || text == "1"); return true;
    case 'O': return ParseBlob(text, out, error);
    case 'T': out = Value::TextUtf8(text); return true;
    default:
      return error = "give argument \"" + arg + "\" as a JSON typed value, e.g. {\"longint_array\":[0,1,2]}",
             false;
  }
}

void PrintOutcome(const std::string& label, const CallOutcome& outcome) {
  if (!outcome.ok()) {
    std::cout << label << " failed: " << outcome.error << "\n";
    return;
  }
  std::cout << label << " -> "
            << (outcome.result ? DescribeValue(*outcome.result) : std::string("(no result)")) << "\n";
  // Arrays are how some commands answer: show what they hold after the call.
  for (size_t i = 0; i < outcome.args.size(); ++i)
    if (outcome.args[i].kind == lqm::host::ValueKind::kVariable)
      std::cout << "    $" << (i + 1) << " = " << DescribeValue(outcome.args[i]) << "\n";
}

const CommandInfo* FindRow(const std::string& target, int32_t& routine) {
  int64_t n;
  if (ParseInteger(target, INT32_MIN, INT32_MAX, n)) {
    routine = int32_t(n);
    return FindCommand(routine);
  }
  std::string folded = FoldName(target);
  for (const CommandInfo& row : kCommandTable)
    if (FoldName(std::string(row.name)) == folded) {
      routine = row.number;
      return &row;
    }
  routine = 0;
  return nullptr;
}

int RunCall(const Options& o) {
  if (o.positional.empty()) {
    std::cerr << "lqm-host call: name or number of the command missing\n" << kUsage;
    return 1;
  }
  int32_t routine;
  const CommandInfo* row = FindRow(o.positional[0], routine);
  if (!row && routine == 0) {
    std::cerr << "lqm-host call: unknown command " << o.positional[0] << "\n";
    return 1;
  }
  std::vector<Value> args;
  for (size_t i = 1; i < o.positional.size(); ++i) {
    char declared = row && i - 1 < row->parameters.size() ? row->parameters[i - 1] : 'T';
    Value value;
    std::string error;
    if (!ParseArgument(o.positional[i], declared, value, error)) {
      std::cerr << "lqm-host call: argument " << i << ": " << error << "\n";
      return 1;
    }
    args.push_back(std::move(value));
  }
  Host host;
  std::string error;
  if (!PrepareHost(host, o, error)) {
    std::cerr << "lqm-host: " << error << "\n";
    return 2;
  }
  CallOutcome outcome = host.Call(routine, args);
  std::string label = row ? std::string(row->name) : "routine " + std::to_string(routine);
  PrintOutcome(label, outcome);
  if (!outcome.ok()) return 1;
  for (size_t i = 0; i < outcome.args.size(); ++i)
    if (i >= args.size() || outcome.args[i] != args[i])
      std::cout << "  argument " << i + 1 << " now " << DescribeValue(outcome.args[i]) << "\n";
  if (!o.out.empty()) {
    if (!outcome.result || outcome.result->kind != ValueKind::kBlob) {
      std::cerr << "lqm-host call: --out needs a BLOB result\n";
      return 1;
    }
    std::ofstream out(std::filesystem::u8path(o.out), std::ios::binary);
    out.write(reinterpret_cast<const char*>(outcome.result->blob.data()),
              std::streamsize(outcome.result->blob.size()));
    if (!out) {
      std::cerr << "lqm-host call: cannot write " << o.out << "\n";
      return 1;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------
// demo
// ---------------------------------------------------------------------------

int RunDemo(Options o) {
  o.init = false;
  Host host;
  std::string error;
  if (!PrepareHost(host, o, error)) {
    std::cerr << "lqm-host: " << error << "\n";
    return 2;
  }
  std::cout << "Plugin: " << (o.plugin.empty() ? DefaultPluginPath().u8string() : o.plugin) << "\n";
  int32_t version = host.Select(lqm::abi::kSelectorInit);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04X", unsigned(version));
  std::cout << "Initialised (selector -1): interface version " << hex << "\n\n";

  // What the print layer's 4D code sets before it opens a session.
  host.SetVariable(kPrintRootVariable, Value::TextUtf8("C:\\Print\\"));
  host.SetVariable(kPrintSpoolVariable, Value::TextUtf8("C:\\Print\\Spool\\"));
  std::cout << "Set " << kPrintRootVariable << " and " << kPrintSpoolVariable << "\n\n";

  struct Step {
    const char* label;
    const char* command;
    std::vector<Value> args;
  };
  const std::vector<Step> steps = {
      {"LQM_GetVersion", "LQM_GetVersion", {}},
      {"LQM_GetInfoString", "LQM_GetInfoString", {}},
      {"LQM_GetFormatExtension(1300)", "LQM_GetFormatExtension", {Value::Longint(1300)}},
      {"LQM_GetFormatFamily(17)", "LQM_GetFormatFamily", {Value::Longint(17)}},
      {"LQM_ListOutputFormats(0; codes; extensions; names; depths; options; aux)",
       "LQM_ListOutputFormats",
       {Value::Longint(0), Value::Variable(Value::LongintArray({0})),
        Value::Variable(Value::TextArray({})), Value::Variable(Value::TextArray({})),
        Value::Variable(Value::TextArray({})), Value::Variable(Value::TextArray({})),
        Value::Variable(Value::LongintArray({0}))}},
      {"LQM_GetFormatLabels(labels)", "LQM_GetFormatLabels", {Value::Variable(Value::TextArray({}))}},
      {"LQM_GetFormatNames(codes; names)", "LQM_GetFormatNames",
       {Value::Variable(Value::LongintArray({0, 1300, 247, 17, 75})),
        Value::Variable(Value::TextArray({}))}},
      {"LQM_OpenPrintSession(code; \"Invoice\"; \"\")", "LQM_OpenPrintSession",
       {Value::TextUtf8(kPrintAccessCode), Value::TextUtf8("Invoice"), Value::TextUtf8("")}},
      {"LQM_SetSlotText(0; \"Page 1 of 3\")", "LQM_SetSlotText",
       {Value::Longint(0), Value::TextUtf8("Page 1 of 3")}},
      {"LQM_GetSlotText(0)", "LQM_GetSlotText", {Value::Longint(0)}},
      {"LQM_GetSlotName(0)", "LQM_GetSlotName", {Value::Longint(0)}},
      {"LQM_GetSlotName(9)", "LQM_GetSlotName", {Value::Longint(9)}},
      {"LQM_GetFolderName(1)", "LQM_GetFolderName", {Value::Longint(1)}},
      {"LQM_EncodeBase64(\"Hello, 4D\")", "LQM_EncodeBase64", {Value::BlobOf("Hello, 4D")}},
      {"LQM_DecodeBase64(\"SGVsbG8sIDRE\")", "LQM_DecodeBase64", {Value::BlobOf("SGVsbG8sIDRE")}},
      {"LQM_ComputeCRC(\"123456789\"; 2; 1)", "LQM_ComputeCRC",
       {Value::BlobOf("123456789"), Value::Integer(2), Value::Integer(1)}},
      {"LQM_LZWCodec(1; \"ABABABA\"; 3; 3; 0; 0; -1; 12)", "LQM_LZWCodec",
       {Value::Integer(1), Value::BlobOf("ABABABA"), Value::Integer(3), Value::Integer(3),
        Value::Integer(0), Value::Integer(0), Value::Longint(-1), Value::Longint(12)}},
      {"LQM_GetPrinterList", "LQM_GetPrinterList", {}},
      {"LQM_GetSealedText", "LQM_GetSealedText", {}},
  };
  for (const Step& step : steps) PrintOutcome(step.label, host.Call(step.command, step.args));

  Stats stats = host.GetStats();
  std::cout << "\nHost: " << stats.callbacks << " callbacks; live objects left by the plugin: "
            << stats.live.variables << " variables, " << stats.live.texts << " texts, "
            << stats.live.handles << " handles\n";
  host.Select(lqm::abi::kSelectorDeinit);
  std::cout << "Shut down (selector -2)\n";
  return 0;
}

int PrintHelp() {
  std::cout << kUsage << "\nThe plugin's commands (routine, name, parameters, result):\n";
  for (const CommandInfo& row : kCommandTable) {
    char line[160];
    std::snprintf(line, sizeof line, "  %2d  %-24s %-9s %-2s %s\n", row.number,
                  std::string(row.name).c_str(),
                  row.parameters.empty() ? "-" : std::string(row.parameters).c_str(),
                  row.result.empty() ? "-" : std::string(row.result).c_str(),
                  std::string(row.summary).c_str());
    std::cout << line;
  }
  std::cout << "\nParameter letters: L longint, I integer, T text, O BLOB, Y variable or array.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 1;
  }
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") return PrintHelp();
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, 2, options, error)) {
    std::cerr << "lqm-host: " << error << "\n";
    return 1;
  }
  if (command == "session") {
    if (!options.positional.empty()) {
      std::cerr << "lqm-host session: unexpected argument " << options.positional[0] << "\n";
      return 1;
    }
    return RunSession(options);
  }
  if (command == "demo") return RunDemo(options);
  if (command == "call") return RunCall(options);
  std::cerr << "lqm-host: unknown command " << command << "\n" << kUsage;
  return 1;
}
