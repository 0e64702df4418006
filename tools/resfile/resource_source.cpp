// The resource source language (see resource_source.h for its grammar):
// lexer, parser, the printer that writes resources back as source, and the
// lqm-rescomp command line.
//
// Contents:
//   Lexer      source text -> tokens with line numbers; escapes decoded
//   Parser     tokens -> resources; the first fault ends the compile
//   Printer    resources -> source statements and the listing
//   Commands   build, list, dump
//
// The lexer checks the whole source is UTF-8 before anything else, so every
// later text is valid UTF-8 and a fault in it is reported on its own line.
#include "resfile/resource_source.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <system_error>
#include <utility>

#include "resfile/mac_roman.h"
#include "resfile/payloads.h"

namespace resfile {

namespace {

// The largest `file` body read: the data area's addressable size.
constexpr uintmax_t kMaxIncludedFile = kMaxDataAreaOffset;

// ===========================================================================
// Lexer
// ===========================================================================

enum class TokenKind { kWord, kString, kOpenBrace, kCloseBrace, kEnd };

struct Token {
  TokenKind kind;
  std::string text;  // word as written, or the string's decoded UTF-8
  int line;
};

struct Fault {
  int line = 0;
  std::string what;
};

std::string HexCodePoint(uint32_t codePoint) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
  return buffer;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool EndsWord(char c) {
  return IsSpace(c) || c == '{' || c == '}' || c == '"' || c == ';' || c == '#';
}

// Decodes the escape after a backslash at text[*at]; *at ends past it.
bool LexEscape(std::string_view text, size_t* at, std::string* out, std::string* what) {
  if (*at >= text.size()) {
    *what = "backslash at the end of a string";
    return false;
  }
  const char c = text[(*at)++];
  switch (c) {
    case '"': out->push_back('"'); return true;
    case '\\': out->push_back('\\'); return true;
    case 'n': out->push_back('\n'); return true;
    case 'r': out->push_back('\r'); return true;
    case 't': out->push_back('\t'); return true;
    case 'u': break;
    default:
      *what = std::string("unknown escape \\") + c + " (use \\\" \\\\ \\n \\r \\t or \\u{HEX})";
      return false;
  }
  if (*at >= text.size() || text[*at] != '{') {
    *what = "\\u must be followed by {HEX}";
    return false;
  }
  ++*at;
  uint32_t codePoint = 0;
  int digits = 0;
  while (*at < text.size() && text[*at] != '}') {
    const char h = text[(*at)++];
    int value;
    if (h >= '0' && h <= '9') value = h - '0';
    else if (h >= 'a' && h <= 'f') value = h - 'a' + 10;
    else if (h >= 'A' && h <= 'F') value = h - 'A' + 10;
    else {
      *what = "\\u{...} holds a character that is not a hex digit";
      return false;
    }
    if (++digits > 6) {
      *what = "\\u{...} has more than 6 hex digits";
      return false;
    }
    codePoint = codePoint * 16 + static_cast<uint32_t>(value);
  }
  if (*at >= text.size() || digits == 0) {
    *what = "\\u{...} is not closed or is empty";
    return false;
  }
  ++*at;
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    *what = "\\u{...} names " + HexCodePoint(codePoint) + ", which is not a character";
    return false;
  }
  AppendUtf8(*out, codePoint);
  return true;
}

bool Lex(std::string_view text, std::vector<Token>* tokens, Fault* fault) {
  // A leading byte-order mark is what some editors write for UTF-8.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  {
    int line = 1;
    size_t at = 0;
    while (at < text.size()) {
      uint32_t codePoint;
      if (!DecodeUtf8(text, &at, &codePoint)) {
        *fault = Fault{line, "source is not valid UTF-8"};
        return false;
      }
      if (codePoint == '\n') ++line;
    }
  }
  int line = 1;
  size_t at = 0;
  while (true) {
    while (at < text.size() && (IsSpace(text[at]) || text[at] == ';')) {
      if (text[at] == '\n') ++line;
      ++at;
    }
    if (at >= text.size()) break;
    const char c = text[at];
    if (c == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
    } else if (c == '{' || c == '}') {
      tokens->push_back(Token{c == '{' ? TokenKind::kOpenBrace : TokenKind::kCloseBrace, {c}, line});
      ++at;
    } else if (c == '"') {
      ++at;
      std::string value;
      while (true) {
        if (at >= text.size() || text[at] == '\n') {
          *fault = Fault{line, "string is not closed on its line"};
          return false;
        }
        const char s = text[at++];
        if (s == '"') break;
        if (s == '\\') {
          std::string what;
          if (!LexEscape(text, &at, &value, &what)) {
            *fault = Fault{line, what};
            return false;
          }
        } else {
          value.push_back(s);
        }
      }
      tokens->push_back(Token{TokenKind::kString, std::move(value), line});
    } else {
      const size_t start = at;
      while (at < text.size() && !EndsWord(text[at])) ++at;
      tokens->push_back(Token{TokenKind::kWord, std::string(text.substr(start, at - start)), line});
    }
  }
  tokens->push_back(Token{TokenKind::kEnd, "", line});
  return true;
}

// ===========================================================================
// Parser
// ===========================================================================

struct AttributeWord {
  const char* word;
  uint8_t bit;
};
constexpr AttributeWord kAttributeWords[] = {
    {"sysheap", kAttributeSystemHeap}, {"purgeable", kAttributePurgeable},
    {"locked", kAttributeLocked},      {"protected", kAttributeProtected},
    {"preload", kAttributePreload},
};

bool ParseInteger(const std::string& word, long minimum, long maximum, long* value) {
  if (word.empty()) return false;
  const bool negative = word[0] == '-';
  const std::string digits = (word[0] == '-' || word[0] == '+') ? word.substr(1) : word;
  int base = 10;
  std::string body = digits;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    body = digits.substr(2);
  }
  if (body.empty() || body.size() > 9) return false;
  long result = 0;
  for (char c : body) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    result = result * base + d;
  }
  if (negative) result = -result;
  if (result < minimum || result > maximum) return false;
  *value = result;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, const CompileOptions& options, std::string baseDirectory)
      : tokens_(std::move(tokens)), options_(options), baseDirectory_(std::move(baseDirectory)) {}

  bool ParseAll(std::vector<Resource>* resources, Fault* fault) {
    std::map<std::pair<TypeCode, int16_t>, int> defined;  // -> line
    while (Peek().kind != TokenKind::kEnd) {
      Resource resource;
      const int line = Peek().line;
      if (!ParseStatement(&resource)) {
        *fault = fault_;
        return false;
      }
      const auto key = std::make_pair(resource.type, resource.id);
      const auto previous = defined.find(key);
      if (previous != defined.end()) {
        *fault = Fault{line, "resource " + DescribeTypeCode(resource.type) + " " +
                                 std::to_string(resource.id) + " is already defined at line " +
                                 std::to_string(previous->second)};
        return false;
      }
      defined.emplace(key, line);
      resources->push_back(std::move(resource));
    }
    return true;
  }

 private:
  const Token& Peek() const { return tokens_[position_]; }
  const Token& Take() {
    const Token& token = tokens_[position_];
    if (token.kind != TokenKind::kEnd) ++position_;
    return token;
  }
  bool PeekWord(const char* word) const {
    return Peek().kind == TokenKind::kWord && Peek().text == word;
  }

  bool Error(int line, const std::string& what) {
    fault_ = Fault{line, what};
    return false;
  }
  std::string Found(const Token& token) const {
    switch (token.kind) {
      case TokenKind::kEnd: return "the end of the source";
      case TokenKind::kString: return "a string";
      default: return "'" + token.text + "'";
    }
  }

  bool ExpectString(const char* what, Token* token) {
    if (Peek().kind != TokenKind::kString) {
      return Error(Peek().line, std::string("expected ") + what + " (a quoted string), found " + Found(Peek()));
    }
    *token = Take();
    return true;
  }
  bool ExpectOpenBrace(const char* after) {
    if (Peek().kind != TokenKind::kOpenBrace) {
      return Error(Peek().line, std::string("expected '{' after ") + after + ", found " + Found(Peek()));
    }
    Take();
    return true;
  }

  bool ToMacRoman(const Token& token, const char* what, std::string* macRoman) {
    MacRomanFailure failure;
    if (!Utf8ToMacRoman(token.text, macRoman, &failure)) {
      return Error(token.line, std::string(what) + ": character " + HexCodePoint(failure.codePoint) +
                                   " has no Mac Roman form");
    }
    return true;
  }

  // One or more strings, joined.
  bool TakeJoinedStrings(const char* what, Token* joined) {
    if (!ExpectString(what, joined)) return false;
    while (Peek().kind == TokenKind::kString) joined->text += Take().text;
    return true;
  }

  bool ParseStatement(Resource* resource) {
    const Token& keyword = Take();
    if (keyword.kind != TokenKind::kWord || keyword.text != "resource") {
      return Error(keyword.line, "expected 'resource', found " + Found(keyword));
    }
    Token typeToken;
    if (!ExpectString("the resource type", &typeToken)) return false;
    std::string type;
    if (!ToMacRoman(typeToken, "resource type", &type)) return false;
    if (type.size() != 4) {
      return Error(typeToken.line, "resource type \"" + typeToken.text + "\" is " +
                                       std::to_string(type.size()) + " bytes; a type is exactly 4");
    }
    std::copy(type.begin(), type.end(), resource->type.begin());

    const Token& idToken = Take();
    long id;
    if (idToken.kind != TokenKind::kWord || !ParseInteger(idToken.text, -32768, 32767, &id)) {
      return Error(idToken.line, "expected a resource id from -32768 to 32767, found " + Found(idToken));
    }
    resource->id = static_cast<int16_t>(id);

    if (Peek().kind == TokenKind::kString) {
      const Token& nameToken = Take();
      if (!ToMacRoman(nameToken, "resource name", &resource->name)) return false;
      if (resource->name.size() > 255) {
        return Error(nameToken.line, "resource name is " + std::to_string(resource->name.size()) +
                                         " bytes in Mac Roman; at most 255");
      }
      resource->hasName = true;
    }
    if (!ParseAttributes(resource)) return false;

    bool sealed = false;
    Token key;
    int sealLine = 0;
    if (PeekWord("sealed")) {
      sealLine = Take().line;
      if (!ExpectString("the sealing key", &key)) return false;
      sealed = true;
    }
    if (!ParseBody(resource)) return false;
    if (sealed) {
      if (options_.seal == nullptr) return Error(sealLine, "sealing is not available in this build");
      std::string what;
      if (!options_.seal(key.text, &resource->data, &what)) {
        return Error(sealLine, "sealing failed: " + what);
      }
    }
    return true;
  }

  bool ParseAttributes(Resource* resource) {
    while (Peek().kind == TokenKind::kWord) {
      if (PeekWord("attributes")) {
        Take();
        const Token& value = Take();
        long bits;
        if (value.kind != TokenKind::kWord || !ParseInteger(value.text, 0, 255, &bits)) {
          return Error(value.line, "expected an attribute byte from 0 to 255, found " + Found(value));
        }
        resource->attributes |= static_cast<uint8_t>(bits);
        continue;
      }
      bool known = false;
      for (const AttributeWord& attribute : kAttributeWords) {
        if (Peek().text == attribute.word) {
          resource->attributes |= attribute.bit;
          known = true;
        }
      }
      if (!known) return true;
      Take();
    }
    return true;
  }

  bool ParseBody(Resource* resource) {
    const Token& kind = Take();
    if (kind.kind != TokenKind::kWord) {
      return Error(kind.line, "expected a body (string, strings, version, text, utf8, hex, file), found " +
                                  Found(kind));
    }
    std::string error;
    if (kind.text == "string") {
      Token joined;
      std::string macRoman;
      if (!TakeJoinedStrings("the string", &joined) || !ToMacRoman(joined, "string", &macRoman)) return false;
      if (!MakeStringPayload(macRoman, &resource->data, &error)) return Error(joined.line, error);
    } else if (kind.text == "strings") {
      if (!ExpectOpenBrace("strings")) return false;
      std::vector<std::string> list;
      while (Peek().kind == TokenKind::kString) {
        list.emplace_back();
        if (!ToMacRoman(Peek(), "string", &list.back())) return false;
        if (list.back().size() > 255) {
          return Error(Peek().line, "string is " + std::to_string(list.back().size()) +
                                        " bytes in Mac Roman; a Pascal string holds at most 255");
        }
        Take();
      }
      if (Peek().kind != TokenKind::kCloseBrace) {
        return Error(Peek().line, "expected a string or '}' in the list, found " + Found(Peek()));
      }
      const int line = Take().line;
      if (!MakeStringListPayload(list, &resource->data, &error)) return Error(line, error);
    } else if (kind.text == "version") {
      return ParseVersion(kind.line, resource);
    } else if (kind.text == "text" || kind.text == "utf8") {
      Token joined;
      if (!TakeJoinedStrings("the text", &joined)) return false;
      std::string bytes = joined.text;
      if (kind.text == "text" && !ToMacRoman(joined, "text", &bytes)) return false;
      resource->data.assign(bytes.begin(), bytes.end());
    } else if (kind.text == "hex") {
      return ParseHex(resource);
    } else if (kind.text == "file") {
      Token path;
      return ExpectString("the file's path", &path) && ReadIncludedFile(path, resource);
    } else {
      return Error(kind.line, "unknown body '" + kind.text +
                                  "' (expected string, strings, version, text, utf8, hex or file)");
    }
    return true;
  }

  // "1", "1.2" or "1.2.3": digits only, major up to 99, the others up to 9.
  static bool ParseVersionNumber(const Token& value, int parts[3]) {
    if (value.kind != TokenKind::kWord) return false;
    int count = 0;
    size_t start = 0;
    while (true) {
      const size_t dot = value.text.find('.', start);
      const std::string part = value.text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
      long number;
      if (count == 3 || part.empty() || part.find_first_not_of("0123456789") != std::string::npos ||
          !ParseInteger(part, 0, count == 0 ? 99 : 9, &number)) {
        return false;
      }
      parts[count++] = static_cast<int>(number);
      if (dot == std::string::npos) return true;
      start = dot + 1;
    }
  }

  bool ParseVersion(int line, Resource* resource) {
    if (!ExpectOpenBrace("version")) return false;
    VersionRecord version;
    bool haveNumber = false, haveShort = false, haveLong = false;
    while (Peek().kind == TokenKind::kWord) {
      const Token field = Take();
      const Token& value = Take();
      long number;
      if (field.text == "number") {
        int parts[3] = {0, 0, 0};
        if (!ParseVersionNumber(value, parts)) {
          return Error(value.line, "expected a version number MAJOR[.MINOR[.BUGFIX]] (0-99, 0-9, 0-9), found " +
                                       Found(value));
        }
        version.major = parts[0], version.minor = parts[1], version.bugfix = parts[2];
        haveNumber = true;
      } else if (field.text == "stage") {
        version.stage = value.kind == TokenKind::kWord ? StageFromName(value.text) : -1;
        if (version.stage < 0) {
          return Error(value.line, "expected stage development, alpha, beta or final, found " + Found(value));
        }
      } else if (field.text == "prerelease" || field.text == "region") {
        const bool region = field.text == "region";
        if (value.kind != TokenKind::kWord ||
            !ParseInteger(value.text, region ? -32768 : 0, region ? 32767 : 255, &number)) {
          return Error(value.line, region ? "expected a region code from -32768 to 32767, found " + Found(value)
                                          : "expected a pre-release number from 0 to 255, found " + Found(value));
        }
        (region ? version.region : version.prerelease) = static_cast<int>(number);
      } else if (field.text == "short" || field.text == "long") {
        const bool isShort = field.text == "short";
        if (value.kind != TokenKind::kString) {
          return Error(value.line, "expected a string after '" + field.text + "', found " + Found(value));
        }
        std::string& target = isShort ? version.shortVersion : version.longVersion;
        if (!ToMacRoman(value, isShort ? "short version" : "long version", &target)) return false;
        if (target.size() > 255) return Error(value.line, field.text + " version is over 255 bytes");
        (isShort ? haveShort : haveLong) = true;
      } else {
        return Error(field.line, "unknown version field '" + field.text +
                                     "' (expected number, stage, prerelease, region, short or long)");
      }
    }
    if (Peek().kind != TokenKind::kCloseBrace) {
      return Error(Peek().line, "expected a version field or '}', found " + Found(Peek()));
    }
    Take();
    if (!haveNumber) return Error(line, "version record has no 'number'");
    if (!haveShort) {
      version.shortVersion = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                             std::to_string(version.bugfix);
    }
    if (!haveLong) version.longVersion = version.shortVersion;
    std::string error;
    if (!MakeVersionPayload(version, &resource->data, &error)) return Error(line, error);
    return true;
  }

  bool ParseHex(Resource* resource) {
    if (!ExpectOpenBrace("hex")) return false;
    while (Peek().kind == TokenKind::kWord) {
      const Token& word = Take();
      if (word.text.size() % 2 != 0) {
        return Error(word.line, "hex '" + word.text + "' has an odd number of digits");
      }
      for (size_t i = 0; i < word.text.size(); i += 2) {
        const int high = HexDigit(word.text[i]);
        const int low = HexDigit(word.text[i + 1]);
        if (high < 0 || low < 0) return Error(word.line, "'" + word.text + "' is not hex");
        resource->data.push_back(static_cast<uint8_t>(high * 16 + low));
      }
    }
    if (Peek().kind != TokenKind::kCloseBrace) {
      return Error(Peek().line, "expected hex bytes or '}', found " + Found(Peek()));
    }
    Take();
    return true;
  }

  bool ReadIncludedFile(const Token& pathToken, Resource* resource) {
    namespace fs = std::filesystem;
    fs::path path = fs::u8path(pathToken.text);
    if (path.is_relative() && !baseDirectory_.empty()) path = fs::u8path(baseDirectory_) / path;
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) return Error(pathToken.line, "cannot read file \"" + pathToken.text + "\": " + ec.message());
    if (size > kMaxIncludedFile) {
      return Error(pathToken.line, "file \"" + pathToken.text + "\" is larger than a resource file can hold");
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
      return Error(pathToken.line, "cannot read file \"" + pathToken.text + "\"");
    }
    resource->data = std::move(bytes);
    return true;
  }

  std::vector<Token> tokens_;
  size_t position_ = 0;
  const CompileOptions& options_;
  std::string baseDirectory_;
  Fault fault_;
};

}  // namespace

CompileResult CompileResourceSource(std::string_view text, const std::string& sourceName,
                                    const CompileOptions& options) {
  CompileResult result;
  std::vector<Token> tokens;
  Fault fault;
  std::string baseDirectory = options.baseDirectory;
  if (baseDirectory.empty()) baseDirectory = std::filesystem::u8path(sourceName).parent_path().u8string();
  std::vector<Resource> resources;
  bool parsed = Lex(text, &tokens, &fault);
  if (parsed) {
    Parser parser(std::move(tokens), options, baseDirectory);
    parsed = parser.ParseAll(&resources, &fault);
  }
  if (!parsed) {
    result.line = fault.line;
    result.message = sourceName + ":" + std::to_string(fault.line) + ": " + fault.what;
    return result;
  }
  ResourceError error;
  if (!WriteResourceFile(resources, &result.fileBytes, &error)) {
    result.message = sourceName + ": " + error.message;
    return result;
  }
  result.resources = std::move(resources);
  result.ok = true;
  return result;
}

// ===========================================================================
// Printer
// ===========================================================================

namespace {

std::string FormatAttributes(uint8_t attributes) {
  std::string out;
  uint8_t unnamed = attributes;
  for (const AttributeWord& attribute : kAttributeWords) {
    if (attributes & attribute.bit) {
      out += std::string(" ") + attribute.word;
      unnamed &= static_cast<uint8_t>(~attribute.bit);
    }
  }
  if (unnamed != 0) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, " attributes 0x%02X", unnamed);
    out += buffer;
  }
  return out;
}

std::string Quote(const std::string& macRoman) { return QuoteMacRoman(macRoman); }

// Text split after each line feed, one quoted piece per source line.
std::string FormatText(const std::vector<uint8_t>& data) {
  const std::string text(data.begin(), data.end());
  if (text.empty()) return " text \"\"\n";
  std::string out = " text";
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    out += first ? " " : "\n    ";
    out += Quote(text.substr(start, end - start));
    first = false;
    start = end;
  }
  return out + "\n";
}

std::string FormatHex(const std::vector<uint8_t>& data) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  if (data.empty()) return " hex { }\n";
  std::string out = " hex {";
  for (size_t i = 0; i < data.size(); ++i) {
    out += (i % 16 == 0) ? "\n   " : "";
    out += ' ';
    out += kHexDigits[data[i] >> 4];
    out += kHexDigits[data[i] & 0xF];
  }
  return out + "\n}\n";
}

}  // namespace

std::string FormatResourceSource(const Resource& resource) {
  std::string out = "resource " + DescribeTypeCode(resource.type) + " " + std::to_string(resource.id);
  if (resource.hasName) out += " " + Quote(resource.name);
  out += FormatAttributes(resource.attributes);
  std::string text;
  std::vector<std::string> list;
  VersionRecord version;
  if (resource.type == MakeTypeCode("STR ") && ParseStringPayload(resource.data, &text)) {
    return out + " string " + Quote(text) + "\n";
  }
  if (resource.type == MakeTypeCode("STR#") && ParseStringListPayload(resource.data, &list)) {
    out += " strings {\n";
    for (const std::string& item : list) out += "  " + Quote(item) + "\n";
    return out + "}\n";
  }
  if (resource.type == MakeTypeCode("vers") && ParseVersionPayload(resource.data, &version)) {
    out += " version {\n  number " + std::to_string(version.major) + "." + std::to_string(version.minor) +
           "." + std::to_string(version.bugfix) + "\n  stage " + StageName(version.stage) +
           "\n  prerelease " + std::to_string(version.prerelease) + "\n  region " +
           std::to_string(version.region) + "\n  short " + Quote(version.shortVersion) + "\n  long " +
           Quote(version.longVersion) + "\n}\n";
    return out;
  }
  if (resource.type == MakeTypeCode("TEXT")) return out + FormatText(resource.data);
  return out + FormatHex(resource.data);
}

std::string FormatResourceList(const std::vector<Resource>& resources) {
  std::string out;
  for (const Resource& r : resources) {
    char columns[64];
    std::snprintf(columns, sizeof columns, " %6d %10zu", r.id, r.data.size());
    out += DescribeTypeCode(r.type) + columns;
    if (r.hasName) out += "  " + Quote(r.name);
    out += FormatAttributes(r.attributes);
    out += "\n";
  }
  return out;
}

// ===========================================================================
// Commands
// ===========================================================================

namespace {

bool ReadWholeFile(const std::string& name, std::vector<uint8_t>* bytes, std::ostream& err) {
  std::ifstream in(std::filesystem::u8path(name), std::ios::binary);
  if (!in) {
    err << name << ": cannot open\n";
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    err << name << ": read error\n";
    return false;
  }
  return true;
}

int Build(const std::string& source, const std::string& output, std::ostream& err,
          const CompileOptions& options) {
  namespace fs = std::filesystem;
  std::vector<uint8_t> text;
  if (!ReadWholeFile(source, &text, err)) return 2;
  const CompileResult result = CompileResourceSource(
      std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), source, options);
  if (!result.ok) {
    err << result.message << "\n";
    return 1;
  }
  // Written beside the output and renamed, so that a failed or interrupted
  // build never leaves a partial file under the output's name.
  const fs::path target = fs::u8path(output);
  fs::path temporary = target;
  temporary += ".rescomp-partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(result.fileBytes.data()),
              static_cast<std::streamsize>(result.fileBytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      err << output << ": cannot write\n";
      return 2;
    }
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    err << output << ": cannot replace: " << ec.message() << "\n";
    return 2;
  }
  return 0;
}

bool LoadResourceFile(const std::string& name, std::vector<Resource>* resources, std::ostream& err,
                      int* exitCode) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(name, &bytes, err)) {
    *exitCode = 2;
    return false;
  }
  ResourceError error;
  if (!ReadResourceFile(bytes, resources, &error)) {
    err << name << ": damaged resource file: " << error.message << "\n";
    *exitCode = 1;
    return false;
  }
  return true;
}

constexpr const char* kUsage =
    "usage: lqm-rescomp build SOURCE -o OUTPUT\n"
    "       lqm-rescomp list FILE\n"
    "       lqm-rescomp dump FILE [TYPE ID]\n";

}  // namespace

int RunResourceCompiler(const std::vector<std::string>& arguments, std::ostream& out,
                        std::ostream& err, const CompileOptions& options) {
  const size_t count = arguments.size();
  const std::string command = count > 0 ? arguments[0] : "";
  if (command == "build" && count == 4 && arguments[2] == "-o") {
    return Build(arguments[1], arguments[3], err, options);
  }
  if (command == "build" && count == 4 && arguments[1] == "-o") {
    return Build(arguments[3], arguments[2], err, options);
  }
  if ((command == "list" && count == 2) || (command == "dump" && (count == 2 || count == 4))) {
    std::vector<Resource> resources;
    int exitCode = 0;
    if (!LoadResourceFile(arguments[1], &resources, err, &exitCode)) return exitCode;
    if (command == "list") {
      out << FormatResourceList(resources);
      return 0;
    }
    if (count == 2) {
      for (const Resource& r : resources) out << FormatResourceSource(r);
      return 0;
    }
    std::string type;
    MacRomanFailure failure;
    long id;
    if (!Utf8ToMacRoman(arguments[2], &type, &failure) || type.size() != 4) {
      err << "type \"" << arguments[2] << "\" is not 4 Mac Roman characters\n";
      return 2;
    }
    if (!ParseInteger(arguments[3], -32768, 32767, &id)) {
      err << "id \"" << arguments[3] << "\" is not a number from -32768 to 32767\n";
      return 2;
    }
    TypeCode code;
    std::copy(type.begin(), type.end(), code.begin());
    const Resource* found = LookupResource(resources, code, static_cast<int16_t>(id));
    if (found == nullptr) {
      err << arguments[1] << ": no resource " << DescribeTypeCode(code) << " " << id << "\n";
      return 1;
    }
    out << FormatResourceSource(*found);
    return 0;
  }
  err << kUsage;
  return 2;
}

}  // namespace resfile
