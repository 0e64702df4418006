// The resource source language's lexer (source_syntax.h): source text to
// tokens with line numbers, escapes decoded, and the number words that
// statements and the command line share.
#include <cstdio>
#include <utility>

#include "resfile/mac_roman.h"
#include "resfile/source_syntax.h"

namespace resfile::syntax {

std::string HexCodePoint(uint32_t codePoint) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
  return buffer;
}

namespace {

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


}  // namespace

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

}  // namespace resfile::syntax
