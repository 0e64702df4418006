// lqm-host: the development host's command line.
//
//   lqm-host session [options]          the JSON-lines protocol (lib/session.h)
//   lqm-host demo [options]             a short scripted session, for people
//   lqm-host call NAME|NUMBER ARGS...   one command, with a compact argument syntax
//   lqm-host where --app-type N --database DIR [--compiled]
//                                       where the plugin looks for its bundle
//   lqm-host help [NAME]                usage and the plugin's commands, or one
//                                       command's reference entry
//
// Options: --no-init, --platform windows|macos|unknown, --app-folder DIR,
// --plugin PATH, and for `call` --out FILE. `call`, `help` and `where` live
// in lib/, where the tests run them in-process; options are parsed by
// hand there too, since the Windows build has no command-line library.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "call.h"
#include "charsets.h"
#include "frame/command_table.h"
#include "named_commands.h"
#include "printdoc/print_session.h"
#include "session.h"

using namespace lqm::host;

namespace {

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

int RunSession(const HostOptions& o) {
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
// demo
// ---------------------------------------------------------------------------

// Arrays are how some commands answer: the demo shows what they hold after the call.
void PrintOutcome(const std::string& label, const CallOutcome& outcome) {
  if (!outcome.ok()) {
    std::cout << label << " failed: " << outcome.error << "\n";
    return;
  }
  std::cout << label << " -> "
            << (outcome.result ? DescribeValue(*outcome.result) : std::string("(no result)")) << "\n";
  for (size_t i = 0; i < outcome.args.size(); ++i)
    if (outcome.args[i].kind == lqm::host::ValueKind::kVariable)
      std::cout << "    $" << (i + 1) << " = " << DescribeValue(outcome.args[i]) << "\n";
}

int RunDemo(HostOptions o) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 1;
  }
  const std::string command = argv[1];
  const std::vector<std::string> words(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") return RunHelp(words, std::cout, std::cerr);
  if (command == "call") {
    SetBinaryStreams();
    return RunCall(words, std::cout, std::cerr);
  }
  if (command == "where") return RunWhere(words, std::cout, std::cerr);
  HostOptions options;
  std::string error;
  if (!ParseHostOptions(words, options, error)) {
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
  std::cerr << "lqm-host: unknown command " << command << "\n" << kUsage;
  return 1;
}
