// The resource source language's parser (resource_source.h has the
// grammar): tokens to resources, and CompileResourceSource, which lexes,
// parses and writes the resource file. The first fault ends the compile.
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "resfile/mac_roman.h"
#include "resfile/payloads.h"
#include "resfile/resource_source.h"
#include "resfile/source_syntax.h"

namespace resfile {

namespace {

using syntax::AttributeWord;
using syntax::Fault;
using syntax::HexCodePoint;
using syntax::kAttributeWords;
using syntax::Lex;
using syntax::ParseInteger;
using syntax::Token;
using syntax::TokenKind;

// The largest `file` body read: the data area's addressable size.
constexpr uintmax_t kMaxIncludedFile = kMaxDataAreaOffset;

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

  // `string utf8` and `strings utf8`: the strings' bytes are their UTF-8,
  // unconverted, for readers that hand them on as UTF-8.
  bool TakeUtf8Marker() {
    if (!PeekWord("utf8")) return false;
    Take();
    return true;
  }
  bool Encode(const Token& token, const char* what, bool utf8, std::string* bytes) {
    if (!utf8) return ToMacRoman(token, what, bytes);
    *bytes = token.text;
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
      const bool utf8 = TakeUtf8Marker();
      Token joined;
      std::string bytes;
      if (!TakeJoinedStrings("the string", &joined) || !Encode(joined, "string", utf8, &bytes)) return false;
      if (!MakeStringPayload(bytes, &resource->data, &error)) return Error(joined.line, error);
    } else if (kind.text == "strings") {
      const bool utf8 = TakeUtf8Marker();
      if (!ExpectOpenBrace("strings")) return false;
      std::vector<std::string> list;
      while (Peek().kind == TokenKind::kString) {
        list.emplace_back();
        if (!Encode(Peek(), "string", utf8, &list.back())) return false;
        if (list.back().size() > 255) {
          return Error(Peek().line, "string is " + std::to_string(list.back().size()) + " bytes in " +
                                        (utf8 ? "UTF-8" : "Mac Roman") +
                                        "; a Pascal string holds at most 255");
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

}  // namespace resfile
