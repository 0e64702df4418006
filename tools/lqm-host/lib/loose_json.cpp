// A recursive-descent JSON reader that keeps unpaired surrogate escapes (see
// loose_json.h). Depth is bounded so that a hostile line cannot exhaust the
// stack; nesting deeper than any request needs is refused.
#include "loose_json.h"

#include <cctype>

#include "charsets.h"

namespace lqm::host {
namespace {

constexpr int kMaxDepth = 64;

struct Reader {
  std::string_view s;
  size_t at = 0;

  void SkipSpace() {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r')) ++at;
  }
  bool Take(char c) {
    SkipSpace();
    if (at >= s.size() || s[at] != c) return false;
    ++at;
    return true;
  }
  bool Word(std::string_view w) {
    if (s.substr(at, w.size()) != w) return false;
    at += w.size();
    return true;
  }

  bool Hex4(char32_t& unit) {
    if (at + 4 > s.size()) return false;
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s[at++];
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
      unit = unit * 16 + char32_t(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return true;
  }

  bool Escape(std::string& out) {
    if (at >= s.size()) return false;
    const char c = s[at++];
    static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
    if (const size_t i = kFrom.find(c); i != std::string_view::npos) {
      out += kTo[i];
      return true;
    }
    char32_t unit;
    if (c != 'u' || !Hex4(unit)) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF && Word("\\u")) {
      const size_t low = at;
      char32_t next;
      if (!Hex4(next)) return false;
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        return true;
      }
      at = low - 2;  // not a pair: the second escape is read on its own
    }
    AppendUtf8(out, unit);
    return true;
  }

  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (at < s.size()) {
      const unsigned char c = static_cast<unsigned char>(s[at]);
      if (c == '"') {
        ++at;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        ++at;
        if (!Escape(out)) return false;
        continue;
      }
      // Raw bytes must be strict UTF-8, as for the standard reader.
      size_t taken;
      const uint8_t* p = reinterpret_cast<const uint8_t*>(s.data()) + at;
      if (DecodeUtf8Character(p, s.size() - at, taken, false) == 0xFFFD &&
          !(taken == 3 && s.substr(at, 3) == "\xEF\xBF\xBD")) {
        return false;
      }
      out.append(s.substr(at, taken));
      at += taken;
    }
    return false;
  }

  // A number or a literal: the longest run of the characters they use, read
  // by the standard reader so that integers and reals keep their meaning.
  bool Scalar(nlohmann::json& out) {
    const size_t start = at;
    while (at < s.size() && std::string_view("+-.0123456789eEtruefalsn").find(s[at]) != std::string_view::npos) ++at;
    if (at == start) return false;
    out = nlohmann::json::parse(s.substr(start, at - start), nullptr, false);
    return !out.is_discarded();
  }

  bool ReadValue(nlohmann::json& out, int depth) {
    if (depth > kMaxDepth) return false;
    SkipSpace();
    if (at >= s.size()) return false;
    if (s[at] == '"') {
      std::string text;
      if (!String(text)) return false;
      out = std::move(text);
      return true;
    }
    if (s[at] == '[') {
      ++at;
      out = nlohmann::json::array();
      if (Take(']')) return true;
      do {
        nlohmann::json element;
        if (!ReadValue(element, depth + 1)) return false;
        out.push_back(std::move(element));
      } while (Take(','));
      return Take(']');
    }
    if (s[at] == '{') {
      ++at;
      out = nlohmann::json::object();
      if (Take('}')) return true;
      do {
        std::string key;
        nlohmann::json member;
        if (!String(key) || !Take(':') || !ReadValue(member, depth + 1)) return false;
        out[key] = std::move(member);
      } while (Take(','));
      return Take('}');
    }
    return Scalar(out);
  }
};

}  // namespace

bool HasSurrogateEscape(std::string_view text) {
  for (size_t i = text.find("\\u"); i != std::string_view::npos; i = text.find("\\u", i + 2)) {
    if (i + 3 < text.size() && (text[i + 2] | 0x20) == 'd' &&
        std::string_view("89abcdefABCDEF").find(text[i + 3]) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

bool ParseJsonKeepingLoneSurrogates(std::string_view text, nlohmann::json& out) {
  Reader reader{text};
  if (!reader.ReadValue(out, 0)) return false;
  reader.SkipSpace();
  return reader.at == text.size();
}

bool ParseJsonAllowingLoneSurrogates(std::string_view text, nlohmann::json& out) {
  out = nlohmann::json::parse(text, nullptr, false);
  return !out.is_discarded() || (HasSurrogateEscape(text) && ParseJsonKeepingLoneSurrogates(text, out));
}

}  // namespace lqm::host
