// Conversions between UTF-8 and Mac OS Roman; see mac_roman.h.
//
// The reverse lookup scans the 128-entry table: texts in resources are short
// (a Pascal string holds at most 255 bytes), so a search table would buy
// nothing measurable.
#include "resfile/mac_roman.h"

#include <utility>

namespace resfile {

uint32_t MacRomanToCodePoint(uint8_t byte) {
  return byte < 0x80 ? byte : kMacRomanHigh[byte - 0x80];
}

int CodePointToMacRoman(uint32_t codePoint) {
  if (codePoint < 0x80) return static_cast<int>(codePoint);
  for (int i = 0; i < 128; ++i) {
    if (kMacRomanHigh[i] == codePoint) return 0x80 + i;
  }
  return -1;
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

bool DecodeUtf8(std::string_view text, size_t* offset, uint32_t* codePoint) {
  size_t at = *offset;
  if (at >= text.size()) return false;
  const uint8_t lead = static_cast<uint8_t>(text[at]);
  if (lead < 0x80) {
    *codePoint = lead;
    *offset = at + 1;
    return true;
  }
  size_t trailing;
  uint32_t value;
  uint32_t smallest;  // below this the form is overlong
  if ((lead & 0xE0) == 0xC0) {
    trailing = 1, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    trailing = 2, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    trailing = 3, value = lead & 0x07, smallest = 0x10000;
  } else {
    return false;
  }
  if (text.size() - at - 1 < trailing) return false;
  for (size_t i = 1; i <= trailing; ++i) {
    const uint8_t next = static_cast<uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *codePoint = value;
  *offset = at + 1 + trailing;
  return true;
}

std::string MacRomanToUtf8(std::string_view macRoman) {
  std::string out;
  out.reserve(macRoman.size());
  for (char c : macRoman) AppendUtf8(out, MacRomanToCodePoint(static_cast<uint8_t>(c)));
  return out;
}

bool Utf8ToMacRoman(std::string_view utf8, std::string* macRoman, MacRomanFailure* failure) {
  std::string out;
  out.reserve(utf8.size());
  size_t offset = 0;
  while (offset < utf8.size()) {
    const size_t start = offset;
    uint32_t codePoint = 0;
    if (!DecodeUtf8(utf8, &offset, &codePoint)) {
      *failure = MacRomanFailure{true, 0, start};
      macRoman->clear();
      return false;
    }
    const int byte = CodePointToMacRoman(codePoint);
    if (byte < 0) {
      *failure = MacRomanFailure{false, codePoint, start};
      macRoman->clear();
      return false;
    }
    out.push_back(static_cast<char>(byte));
  }
  *macRoman = std::move(out);
  return true;
}

}  // namespace resfile

namespace resfile {

std::string QuoteMacRoman(std::string_view macRoman) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : macRoman) {
    const uint8_t byte = static_cast<uint8_t>(c);
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\u{";
          out.push_back(kHexDigits[byte >> 4]);
          out.push_back(kHexDigits[byte & 0xF]);
          out += "}";
        } else {
          AppendUtf8(out, MacRomanToCodePoint(byte));
        }
    }
  }
  out += "\"";
  return out;
}

}  // namespace resfile
