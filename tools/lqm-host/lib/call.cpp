// `lqm-host call` and `lqm-host help`: see call.h for the argument syntax.
//
// Every argument is parsed before the plugin is loaded, so a typing mistake
// costs nothing and is reported with the parameter's position, name and type
// from the command reference. Nothing here throws: numbers are read with
// strtoll/strtod and a check that the whole word was used, and JSON is parsed
// in its non-throwing form.
#include "call.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "command_docs.h"
#include "loose_json.h"
#include "named_commands.h"

namespace lqm::host {

const char kUsage[] =
    "usage:\n"
    "  lqm-host session [--no-init] [--platform windows|macos|unknown] [--app-folder DIR] [--plugin PATH]\n"
    "      one JSON request per line on standard input, one JSON answer per line out\n"
    "  lqm-host demo [--platform ...] [--app-folder DIR] [--plugin PATH]\n"
    "      initialises the plugin and shows what a few commands return\n"
    "  lqm-host call NAME|NUMBER [ARG ...] [--out FILE] [--no-init] [other options]\n"
    "      runs one command; each argument is read as the command's declared type:\n"
    "        numbers: 5  -1  0x1F          texts: any word\n"
    "        BLOBs:   text:123456789  hex:414243  base64:QUJD  @FILE\n"
    "        arrays:  LA:1300,75  IA:1,2  RA:1.5  TA:a,b  (LA: = empty)  U = undefined\n"
    "      or with a type prefix: L:5  I:2  R:1.5  H:3600  B:true  T:text  O:hex:4142,\n"
    "      or as a JSON typed value: {\"longint_array\":[0,1300]}\n"
    "      --out FILE writes a BLOB result to FILE\n"
    "  lqm-host where --app-type N --database DIR [--compiled] [--platform windows|macos] [--plugin PATH]\n"
    "      where the plugin looks for its bundle in that kind of 4D application (N is what\n"
    "      4D's Application type returns, DIR its database folder) and whether it is there;\n"
    "      exit code 0 found, 1 not found, 2 bad arguments\n"
    "  lqm-host help [NAME]\n"
    "      the command list, or one command's reference entry\n";

namespace {

// Type names inside sentences: "integer", "array", but "Blob", which would
// read as an ordinary word.
std::string Lower(std::string text) {
  if (text == "Blob") return text;
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Whole-word integer in decimal or 0x-hexadecimal, within [low, high].
bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t& out, std::string& error) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  // Decimal, or hexadecimal after 0x; never octal, so "010" is ten.
  const bool hex = text.compare(0, 2, "0x") == 0 || text.compare(0, 3, "-0x") == 0;
  long long value = std::strtoll(begin, &end, hex ? 16 : 10);
  if (text.empty() || end != begin + text.size() || text.find_first_of(" \t") != std::string::npos) {
    error = "'" + text + "' is not a number";
    return false;
  }
  if (errno == ERANGE || value < low || value > high) {
    error = "'" + text + "' is outside " + std::to_string(low) + ".." + std::to_string(high);
    return false;
  }
  out = value;
  return true;
}

bool ParseReal(const std::string& text, double& out, std::string& error) {
  const char* begin = text.c_str();
  char* end = nullptr;
  out = std::strtod(begin, &end);
  if (text.empty() || end != begin + text.size()) {
    error = "'" + text + "' is not a number";
    return false;
  }
  return true;
}

bool ParseBlob(const std::string& text, Value& out, std::string& error) {
  std::vector<uint8_t> bytes;
  if (text.compare(0, 5, "text:") == 0) {
    bytes.assign(text.begin() + 5, text.end());
  } else if (text.compare(0, 4, "hex:") == 0) {
    const std::string hex = text.substr(4);
    if (hex.size() % 2) return error = "'" + hex + "' has an odd number of hex digits", false;
    for (size_t i = 0; i < hex.size(); i += 2) {
      auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
      };
      int high = digit(hex[i]), low = digit(hex[i + 1]);
      if (high < 0 || low < 0) return error = "'" + hex + "' is not hexadecimal", false;
      bytes.push_back(uint8_t(high * 16 + low));
    }
  } else if (text.compare(0, 7, "base64:") == 0) {
    if (!Base64Decode(text.substr(7), bytes)) return error = "'" + text.substr(7) + "' is not Base64", false;
  } else if (!text.empty() && text[0] == '@') {
    if (!ReadFileBytes(text.substr(1), bytes)) return error = "cannot read the file '" + text.substr(1) + "'", false;
  } else {
    bytes.assign(text.begin(), text.end());
  }
  out = Value::Blob(std::move(bytes));
  return true;
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

// LA:, IA:, RA:, TA: lists; element 0 is added in front, as 4D arrays have it.
bool ParseArray(const std::string& kind, const std::string& list, Value& out, std::string& error) {
  const std::vector<std::string> items = SplitCommas(list);
  int64_t n;
  if (kind == "LA") {
    std::vector<int32_t> elements{0};
    for (const std::string& item : items) {
      if (!ParseInteger(item, INT32_MIN, INT32_MAX, n, error)) return false;
      elements.push_back(int32_t(n));
    }
    out = Value::LongintArray(std::move(elements));
  } else if (kind == "IA") {
    std::vector<int16_t> elements{0};
    for (const std::string& item : items) {
      if (!ParseInteger(item, -32768, 32767, n, error)) return false;
      elements.push_back(int16_t(n));
    }
    out = Value::IntegerArray(std::move(elements));
  } else if (kind == "RA") {
    std::vector<double> elements{0};
    for (const std::string& item : items) {
      double real;
      if (!ParseReal(item, real, error)) return false;
      elements.push_back(real);
    }
    out = Value::RealArray(std::move(elements));
  } else {
    std::vector<std::u16string> elements{u""};
    for (const std::string& item : items) elements.push_back(Value::TextUtf8(item).text);
    out = Value::TextArray(std::move(elements));
  }
  out = Value::Variable(std::move(out));
  return true;
}

const CommandInfo* FindRow(const std::string& target, int32_t& routine) {
  int64_t n;
  std::string ignored;
  if (ParseInteger(target, INT32_MIN, INT32_MAX, n, ignored)) {
    routine = int32_t(n);
    return FindCommand(routine);
  }
  const std::string folded = FoldName(target);
  for (const CommandInfo& row : kCommandTable)
    if (FoldName(std::string(row.name)) == folded) {
      routine = row.number;
      return &row;
    }
  routine = 0;
  return nullptr;
}

void PrintOutcome(const std::string& label, const std::vector<Value>& given, const CallOutcome& outcome,
                  std::ostream& out) {
  out << label << " -> " << (outcome.result ? DescribeValue(*outcome.result) : std::string("(no result)"))
      << "\n";
  // Arrays and variables are how some commands answer: show what changed.
  for (size_t i = 0; i < outcome.args.size(); ++i)
    if (i >= given.size() || outcome.args[i] != given[i] || outcome.args[i].kind == ValueKind::kVariable)
      out << "    $" << (i + 1) << " = " << DescribeValue(outcome.args[i]) << "\n";
}

}  // namespace

bool TakeOptionValue(const std::vector<std::string>& words, size_t& i, std::string& into, std::string& error) {
  if (i + 1 >= words.size()) return error = words[i] + " needs a value", false;
  into = words[++i];
  return true;
}

bool ParseHostOptions(const std::vector<std::string>& words, HostOptions& o, std::string& error) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    auto value = [&](std::string& into) { return TakeOptionValue(words, i, into, error); };
    if (word == "--no-init") o.init = false;
    else if (word == "--platform") { if (!value(o.platform)) return false; }
    else if (word == "--app-folder") { if (!value(o.appFolder)) return false; }
    else if (word == "--plugin") { if (!value(o.plugin)) return false; }
    else if (word == "--out") { if (!value(o.out)) return false; }
    else if (word.size() > 2 && word.compare(0, 2, "--") == 0) return error = "unknown option " + word, false;
    else o.positional.push_back(word);
  }
  if (!o.platform.empty() && o.platform != "windows" && o.platform != "macos" && o.platform != "unknown")
    return error = "--platform must be windows, macos or unknown", false;
  return true;
}

bool PrepareHost(Host& host, const HostOptions& o, std::string& error) {
  Settings settings = host.GetSettings();
  if (o.platform == "macos") settings.platform = Platform::kMacOS;
  if (o.platform == "unknown") settings.platform = Platform::kUnknown;
  if (!o.appFolder.empty()) settings.appFolder = std::filesystem::u8path(o.appFolder);
  host.SetSettings(settings);
  const std::filesystem::path plugin =
      o.plugin.empty() ? DefaultPluginPath() : std::filesystem::u8path(o.plugin);
  if (!host.LoadPlugin(plugin, error)) return false;
  if (o.init) host.Select(abi::kSelectorInit);
  return true;
}

bool ParseCallArgument(const std::string& word, char declared, Value& out, std::string& error) {
  if (!word.empty() && word[0] == '{') {
    nlohmann::json json;
    if (!ParseJsonAllowingLoneSurrogates(word, json))
      return error = "'" + word + "' is not JSON", false;
    if (!ValueFromJson(json, out, error)) return false;
    if (declared == 'Y' && out.IsArray()) out = Value::Variable(std::move(out));
    return true;
  }
  // Array shorthands and the undefined variable.
  if (word == "U") {
    out = Value::Variable(Value::Undefined());
    return true;
  }
  for (const char* kind : {"LA", "IA", "RA", "TA"})
    if (word.compare(0, 3, std::string(kind) + ":") == 0) return ParseArray(kind, word.substr(3), out, error);

  char letter = declared == 0 ? 'T' : declared;
  std::string text = word;
  if (word.size() >= 2 && word[1] == ':' && std::string("LIRHTOB").find(word[0]) != std::string::npos) {
    letter = word[0];
    text = word.substr(2);
  }
  int64_t n;
  switch (letter) {
    case 'L':
    case 'H':
      if (!ParseInteger(text, INT32_MIN, INT32_MAX, n, error)) return false;
      out = letter == 'L' ? Value::Longint(int32_t(n)) : Value::Time(int32_t(n));
      return true;
    case 'I':
      // 4D integers are signed; 32768..65535 are accepted as their 16-bit
      // pattern, since several commands read these parameters unsigned.
      if (!ParseInteger(text, -32768, 65535, n, error)) return false;
      out = Value::Integer(int16_t(uint16_t(n)));
      return true;
    case 'R': {
      double real;
      if (!ParseReal(text, real, error)) return false;
      out = Value::Real(real);
      return true;
    }
    case 'B':
      if (text != "true" && text != "false" && text != "1" && text != "0")
        return error = "'" + text + "' is not true or false", false;
      out = Value::Boolean(text == "true" || text == "1");
      return true;
    case 'O': return ParseBlob(text, out, error);
    case 'T': out = Value::TextUtf8(text); return true;
    default:
      return error = "'" + word + "' is not an array: give LA:1,2  TA:a,b  U  or a JSON typed value", false;
  }
}

std::vector<std::string> SplitCallWords(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '\'') {
      quoted = !quoted;
      inWord = true;
    } else if (c == ' ' && !quoted) {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

bool ParseTypicalCall(const CommandInfo& row, std::vector<Value>& args, std::string& error) {
  const std::vector<std::string> words = SplitCallWords(row.typicalCall);
  if (words.size() != row.parameters.size()) {
    error = std::string(row.name) + ": the typical call gives " + std::to_string(words.size()) +
            " arguments for " + std::to_string(row.parameters.size()) + " parameters";
    return false;
  }
  args.clear();
  for (size_t i = 0; i < words.size(); ++i) {
    Value value;
    if (!ParseCallArgument(words[i], row.parameters[i], value, error)) {
      error = std::string(row.name) + ", argument " + std::to_string(i + 1) + ": " + error;
      return false;
    }
    args.push_back(std::move(value));
  }
  return true;
}

int RunCall(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  HostOptions options;
  std::string error;
  if (!ParseHostOptions(words, options, error)) {
    err << "lqm-host call: " << error << "\n";
    return 1;
  }
  if (options.positional.empty()) {
    err << "lqm-host call: the name or number of a command is missing\n" << kUsage;
    return 1;
  }
  int32_t routine;
  const CommandInfo* row = FindRow(options.positional[0], routine);
  if (row == nullptr && routine == 0) {
    err << "lqm-host call: unknown command " << options.positional[0] << " (lqm-host help lists them)\n";
    return 1;
  }
  const size_t given = options.positional.size() - 1;
  std::vector<docs::ParameterDoc> parameters;
  if (row != nullptr) {
    parameters = docs::DescribeParameters(*row);
    if (given != parameters.size()) {
      err << "lqm-host call: " << row->name << " takes " << parameters.size() << " argument"
          << (parameters.size() == 1 ? "" : "s") << ", " << given << " given: " << docs::SyntaxLine(*row)
          << "\n";
      return 1;
    }
  }
  std::vector<Value> args;
  for (size_t i = 0; i < given; ++i) {
    const char declared = row ? row->parameters[i] : 0;
    Value value;
    if (!ParseCallArgument(options.positional[i + 1], declared, value, error)) {
      err << "lqm-host call: argument " << i + 1;
      if (row) err << " (" << parameters[i].name << ", " << Lower(parameters[i].type) << ")";
      err << ": " << error << "\n";
      return 1;
    }
    args.push_back(std::move(value));
  }
  if (!options.out.empty() && row != nullptr && row->result != "O") {
    err << "lqm-host call: --out needs a command with a BLOB result; " << row->name << " returns "
        << (row->result.empty() ? "nothing" : Lower(docs::TypeName(row->result[0]))) << "\n";
    return 1;
  }

  Host host;
  if (!PrepareHost(host, options, error)) {
    err << "lqm-host: " << error << "\n";
    return 2;
  }
  const CallOutcome outcome = host.Call(routine, args);
  const std::string label = row ? std::string(row->name) : "routine " + std::to_string(routine);
  if (!outcome.ok()) {
    err << "lqm-host call: " << label << " failed: " << outcome.error << "\n";
    return 1;
  }
  PrintOutcome(label, args, outcome, out);
  if (!options.out.empty()) {
    if (!outcome.result || outcome.result->kind != ValueKind::kBlob) {
      err << "lqm-host call: " << label << " set no BLOB result; nothing written to " << options.out << "\n";
      return 1;
    }
    std::ofstream file(std::filesystem::u8path(options.out), std::ios::binary);
    file.write(reinterpret_cast<const char*>(outcome.result->blob.data()),
               std::streamsize(outcome.result->blob.size()));
    file.close();
    if (!file) {
      err << "lqm-host call: cannot write " << options.out << "\n";
      return 1;
    }
    out << "    wrote " << outcome.result->blob.size() << " bytes to " << options.out << "\n";
  }
  return 0;
}

int RunHelp(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  if (words.empty()) {
    out << kUsage << "\nThe plugin's commands (lqm-host help NAME for one of them):\n";
    for (const CommandInfo& row : kCommandTable) {
      char number[8];
      std::snprintf(number, sizeof number, "  %2d  ", int(row.number));
      out << number << docs::SyntaxLine(row) << "\n";
    }
    return 0;
  }
  int status = 0;
  for (const std::string& word : words) {
    int32_t routine;
    const CommandInfo* row = FindRow(word, routine);
    if (row == nullptr) {
      err << "lqm-host help: unknown command " << word << "\n";
      status = 1;
      continue;
    }
    out << docs::CommandEntryMarkdown(*row);
  }
  return status;
}

}  // namespace lqm::host
