// The resource source language's lexical layer, shared by the parser, the
// printer and the compiler's command line (resource_source.h has the
// grammar). Internal to lqm_resfile.
//
// Lex checks the whole source is UTF-8 before anything else, so every token's
// text is valid UTF-8 and a fault in a later token is reported on its own
// line. String tokens hold their decoded text (escapes resolved), still in
// UTF-8: the parser converts them to Mac Roman where a resource needs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resfile/resfile.h"

namespace resfile::syntax {

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

// Tokenizes the whole source, ending with a kEnd token; false with *fault set
// at the first fault.
bool Lex(std::string_view text, std::vector<Token>* tokens, Fault* fault);

// A decimal or 0x-hex number word, optionally signed, within [minimum, maximum].
bool ParseInteger(const std::string& word, long minimum, long maximum, long* value);

// "U+XXXX", for messages about characters.
std::string HexCodePoint(uint32_t codePoint);

// The attribute bits that have a word of their own, in the order the printer
// writes them.
struct AttributeWord {
  const char* word;
  uint8_t bit;
};
inline constexpr AttributeWord kAttributeWords[] = {
    {"sysheap", kAttributeSystemHeap}, {"purgeable", kAttributePurgeable},
    {"locked", kAttributeLocked},      {"protected", kAttributeProtected},
    {"preload", kAttributePreload},
};

}  // namespace resfile::syntax
