// Typed values, their JSON form and the protocol's JSON writer (values.h).
#include "values.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <limits>

#include "charsets.h"

namespace lqm::host {

using nlohmann::json;
using nlohmann::ordered_json;

// ---------------------------------------------------------------------------
// Construction and comparison
// ---------------------------------------------------------------------------

namespace {
Value Make(ValueKind kind) {
  Value v;
  v.kind = kind;
  return v;
}
}  // namespace

Value Value::Longint(int32_t v) { Value r = Make(ValueKind::kLongint); r.number = v; return r; }
Value Value::Integer(int16_t v) { Value r = Make(ValueKind::kInteger); r.number = v; return r; }
Value Value::Real(double v) { Value r = Make(ValueKind::kReal); r.real = v; return r; }
Value Value::Text(std::u16string v) { Value r = Make(ValueKind::kText); r.text = std::move(v); return r; }
Value Value::TextUtf8(std::string_view utf8) { return Text(Utf8ToUtf16(utf8)); }
Value Value::Blob(std::vector<uint8_t> bytes) { Value r = Make(ValueKind::kBlob); r.blob = std::move(bytes); return r; }
Value Value::BlobOf(std::string_view bytes) { return Blob(std::vector<uint8_t>(bytes.begin(), bytes.end())); }
Value Value::Time(int32_t v) { Value r = Make(ValueKind::kTime); r.number = v; return r; }
Value Value::Boolean(bool v) { Value r = Make(ValueKind::kBoolean); r.number = v ? 1 : 0; return r; }
Value Value::Undefined() { return Make(ValueKind::kUndefined); }
Value Value::LongintArray(std::vector<int32_t> e) { Value r = Make(ValueKind::kLongintArray); r.longints = std::move(e); return r; }
Value Value::IntegerArray(std::vector<int16_t> e) { Value r = Make(ValueKind::kIntegerArray); r.integers = std::move(e); return r; }
Value Value::RealArray(std::vector<double> e) { Value r = Make(ValueKind::kRealArray); r.reals = std::move(e); return r; }
Value Value::TextArray(std::vector<std::u16string> e) { Value r = Make(ValueKind::kTextArray); r.texts = std::move(e); return r; }
Value Value::Variable(Value held) {
  Value r = Make(ValueKind::kVariable);
  r.inner.push_back(std::move(held));
  return r;
}

bool Value::IsArray() const {
  return kind == ValueKind::kLongintArray || kind == ValueKind::kIntegerArray ||
         kind == ValueKind::kRealArray || kind == ValueKind::kTextArray;
}

bool Value::operator==(const Value& o) const {
  if (kind != o.kind) return false;
  switch (kind) {
    case ValueKind::kLongint:
    case ValueKind::kInteger:
    case ValueKind::kTime:
    case ValueKind::kBoolean: return number == o.number;
    // Bitwise, so that NaN equals itself and -0 differs from 0.
    case ValueKind::kReal: return std::memcmp(&real, &o.real, sizeof real) == 0;
    case ValueKind::kText: return text == o.text;
    case ValueKind::kBlob: return blob == o.blob;
    case ValueKind::kUndefined: return true;
    case ValueKind::kLongintArray: return longints == o.longints;
    case ValueKind::kIntegerArray: return integers == o.integers;
    case ValueKind::kRealArray: return reals == o.reals;
    case ValueKind::kTextArray: return texts == o.texts;
    case ValueKind::kVariable: return inner == o.inner;
  }
  return false;
}

const char* ValueKindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::kLongint: return "longint";
    case ValueKind::kInteger: return "integer";
    case ValueKind::kReal: return "real";
    case ValueKind::kText: return "text";
    case ValueKind::kBlob: return "blob";
    case ValueKind::kTime: return "time";
    case ValueKind::kBoolean: return "boolean";
    case ValueKind::kUndefined: return "undefined";
    case ValueKind::kLongintArray: return "longint_array";
    case ValueKind::kIntegerArray: return "integer_array";
    case ValueKind::kRealArray: return "real_array";
    case ValueKind::kTextArray: return "text_array";
    case ValueKind::kVariable: return "variable";
  }
  return "?";
}

// ---------------------------------------------------------------------------
// Base64 (RFC 4648, standard alphabet, padded)
// ---------------------------------------------------------------------------

namespace {
constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
}  // namespace

std::string Base64Encode(const std::vector<uint8_t>& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = uint32_t(bytes[i]) << 16;
    size_t n = bytes.size() - i;
    if (n > 1) group |= uint32_t(bytes[i + 1]) << 8;
    if (n > 2) group |= bytes[i + 2];
    out += kBase64Alphabet[(group >> 18) & 63];
    out += kBase64Alphabet[(group >> 12) & 63];
    out += n > 1 ? kBase64Alphabet[(group >> 6) & 63] : '=';
    out += n > 2 ? kBase64Alphabet[group & 63] : '=';
  }
  return out;
}

bool Base64Decode(std::string_view text, std::vector<uint8_t>& out) {
  out.clear();
  if (text.size() % 4 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    int padding = 0;
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      char c = text[i + k];
      int digit;
      if (c == '=' && last && k >= 2) {
        ++padding;
        digit = 0;
      } else {
        digit = Base64Digit(c);
        if (digit < 0 || padding > 0) return false;  // no digit after padding
      }
      group = (group << 6) | uint32_t(digit);
    }
    out.push_back(uint8_t(group >> 16));
    if (padding < 2) out.push_back(uint8_t(group >> 8));
    if (padding < 1) out.push_back(uint8_t(group));
  }
  return true;
}

// ---------------------------------------------------------------------------
// JSON in
// ---------------------------------------------------------------------------

namespace {

bool ReadInteger(const json& j, int64_t low, int64_t high, int64_t& out) {
  if (j.is_number_unsigned()) {
    uint64_t v = j.get<uint64_t>();
    if (v > uint64_t(high)) return false;
    out = int64_t(v);
    return true;
  }
  if (j.is_number_integer()) {
    int64_t v = j.get<int64_t>();
    if (v < low || v > high) return false;
    out = v;
    return true;
  }
  if (j.is_number_float()) {  // 5.0 is accepted as 5, 5.5 is not
    double d = j.get<double>();
    if (!(d >= double(low) && d <= double(high)) || d != std::floor(d)) return false;
    out = int64_t(d);
    return true;
  }
  return false;
}

bool ReadText(const json& j, std::u16string& out) {
  if (!j.is_string()) return false;
  out = Utf8ToUtf16(j.get_ref<const std::string&>(), true);
  return true;
}

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// One scalar of a kind; used for plain values and array elements alike.
bool ReadScalar(ValueKind kind, const json& j, Value& out) {
  int64_t n;
  switch (kind) {
    case ValueKind::kLongint:
    case ValueKind::kTime:
      if (!ReadInteger(j, kInt32Min, kInt32Max, n)) return false;
      out.number = n;
      return true;
    case ValueKind::kInteger:
      // 16 bits either way round: 65535 and -1 are the same integer.
      if (!ReadInteger(j, -32768, 65535, n)) return false;
      out.number = int16_t(uint16_t(n));
      return true;
    case ValueKind::kReal:
      if (!j.is_number()) return false;
      out.real = j.get<double>();
      return true;
    case ValueKind::kText: return ReadText(j, out.text);
    case ValueKind::kBoolean:
      if (!j.is_boolean()) return false;
      out.number = j.get<bool>() ? 1 : 0;
      return true;
    default: return false;
  }
}

const struct {
  const char* name;
  ValueKind kind;
} kKindNames[] = {
    {"longint", ValueKind::kLongint},
    {"integer", ValueKind::kInteger},
    {"real", ValueKind::kReal},
    {"text", ValueKind::kText},
    {"blob", ValueKind::kBlob},
    {"time", ValueKind::kTime},
    {"boolean", ValueKind::kBoolean},
    {"undefined", ValueKind::kUndefined},
    {"longint_array", ValueKind::kLongintArray},
    {"integer_array", ValueKind::kIntegerArray},
    {"real_array", ValueKind::kRealArray},
    {"text_array", ValueKind::kTextArray},
    {"variable", ValueKind::kVariable},
};

ValueKind ElementKind(ValueKind arrayKind) {
  switch (arrayKind) {
    case ValueKind::kLongintArray: return ValueKind::kLongint;
    case ValueKind::kIntegerArray: return ValueKind::kInteger;
    case ValueKind::kRealArray: return ValueKind::kReal;
    default: return ValueKind::kText;
  }
}

}  // namespace

bool ValueFromJson(const json& j, Value& out, std::string& error) {
  if (!j.is_object() || j.size() != 1) {
    error = "a typed value is an object with exactly one key, such as {\"longint\": 5}";
    return false;
  }
  const std::string& key = j.begin().key();
  const json& body = j.begin().value();
  const auto* entry = std::find_if(std::begin(kKindNames), std::end(kKindNames),
                                   [&](const auto& e) { return key == e.name; });
  if (entry == std::end(kKindNames)) {
    error = "unknown value kind \"" + key + "\"";
    return false;
  }
  out = Value();
  out.kind = entry->kind;
  const std::string bad = "bad " + key + " value";
  switch (entry->kind) {
    case ValueKind::kUndefined:
      if (!body.is_null()) return error = bad + ": expected null", false;
      return true;
    case ValueKind::kBlob:
      if (!body.is_string() || !Base64Decode(body.get_ref<const std::string&>(), out.blob))
        return error = bad + ": expected Base64 text", false;
      return true;
    case ValueKind::kVariable: {
      Value held;
      if (!ValueFromJson(body, held, error)) return false;
      if (held.kind == ValueKind::kVariable)
        return error = "a variable cannot hold a variable", false;
      out = Value::Variable(std::move(held));
      return true;
    }
    case ValueKind::kLongintArray:
    case ValueKind::kIntegerArray:
    case ValueKind::kRealArray:
    case ValueKind::kTextArray: {
      if (!body.is_array() || body.empty())
        return error = bad + ": expected a list starting with element 0", false;
      ValueKind elementKind = ElementKind(entry->kind);
      for (size_t i = 0; i < body.size(); ++i) {
        Value element;
        if (!ReadScalar(elementKind, body[i], element))
          return error = bad + ": element " + std::to_string(i) + " is not a " +
                         ValueKindName(elementKind),
                 false;
        switch (entry->kind) {
          case ValueKind::kLongintArray: out.longints.push_back(int32_t(element.number)); break;
          case ValueKind::kIntegerArray: out.integers.push_back(int16_t(element.number)); break;
          case ValueKind::kRealArray: out.reals.push_back(element.real); break;
          default: out.texts.push_back(std::move(element.text)); break;
        }
      }
      return true;
    }
    default:
      if (!ReadScalar(entry->kind, body, out)) {
        error = bad;
        if (entry->kind == ValueKind::kLongint || entry->kind == ValueKind::kTime)
          error += ": expected an integer from -2147483648 to 2147483647";
        else if (entry->kind == ValueKind::kInteger)
          error += ": expected an integer from -32768 to 65535";
        return false;
      }
      return true;
  }
}

// ---------------------------------------------------------------------------
// JSON out
// ---------------------------------------------------------------------------

namespace {
ordered_json RealJson(double d) {
  // JSON has no NaN or infinity; null says "not a number" without failing.
  if (!std::isfinite(d)) return nullptr;
  return d;
}
}  // namespace

ordered_json ValueToJson(const Value& v) {
  ordered_json body;
  switch (v.kind) {
    case ValueKind::kLongint:
    case ValueKind::kInteger:
    case ValueKind::kTime: body = v.number; break;
    case ValueKind::kBoolean: body = v.number != 0; break;
    case ValueKind::kReal: body = RealJson(v.real); break;
    case ValueKind::kText: body = Utf16ToLooseUtf8(v.text); break;
    case ValueKind::kBlob: body = Base64Encode(v.blob); break;
    case ValueKind::kUndefined: body = nullptr; break;
    case ValueKind::kLongintArray: body = v.longints; break;
    case ValueKind::kIntegerArray: body = v.integers; break;
    case ValueKind::kRealArray:
      body = ordered_json::array();
      for (double d : v.reals) body.push_back(RealJson(d));
      break;
    case ValueKind::kTextArray:
      body = ordered_json::array();
      for (const auto& t : v.texts) body.push_back(Utf16ToLooseUtf8(t));
      break;
    case ValueKind::kVariable: body = ValueToJson(v.inner[0]); break;
  }
  ordered_json out = ordered_json::object();
  out[ValueKindName(v.kind)] = std::move(body);
  return out;
}

namespace {

void WriteString(const std::string& s, std::string& out) {
  out += '"';
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(s.data());
  for (size_t i = 0; i < s.size();) {
    size_t taken;
    char32_t c = DecodeUtf8Character(bytes + i, s.size() - i, taken, true);
    char escape[8];
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\b') {
      out += "\\b";
    } else if (c == '\f') {
      out += "\\f";
    } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
      std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
      out += escape;
    } else if (c == 0xFFFD && !(taken == 3 && bytes[i] == 0xEF)) {
      out += "\\ufffd";  // an undecodable byte of a message
    } else {
      out.append(s, i, taken);
    }
    i += taken;
  }
  out += '"';
}

void Write(const ordered_json& j, std::string& out) {
  switch (j.type()) {
    case ordered_json::value_t::object: {
      out += '{';
      bool first = true;
      for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first) out += ',';
        first = false;
        WriteString(it.key(), out);
        out += ':';
        Write(it.value(), out);
      }
      out += '}';
      break;
    }
    case ordered_json::value_t::array: {
      out += '[';
      for (size_t i = 0; i < j.size(); ++i) {
        if (i) out += ',';
        Write(j[i], out);
      }
      out += ']';
      break;
    }
    case ordered_json::value_t::string: WriteString(j.get_ref<const std::string&>(), out); break;
    default: out += j.dump(); break;
  }
}

}  // namespace

std::string WriteJson(const ordered_json& value) {
  std::string out;
  Write(value, out);
  return out;
}

std::string DescribeValue(const Value& v) {
  std::string s;
  auto quote = [](const std::u16string& t) {
    ordered_json j = Utf16ToLooseUtf8(t);
    return WriteJson(j);
  };
  switch (v.kind) {
    case ValueKind::kText: return "text " + quote(v.text);
    case ValueKind::kBlob: {
      s = "BLOB of " + std::to_string(v.blob.size()) + " bytes";
      bool printable = !v.blob.empty();
      for (uint8_t b : v.blob) printable = printable && b >= 0x20 && b < 0x7F;
      if (printable) return s + ": \"" + std::string(v.blob.begin(), v.blob.end()) + "\"";
      if (v.blob.empty()) return s;
      s += ":";
      char hex[4];
      for (size_t i = 0; i < v.blob.size() && i < 64; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", v.blob[i]);
        s += hex;
      }
      return v.blob.size() > 64 ? s + " ..." : s;
    }
    case ValueKind::kVariable: return "variable holding " + DescribeValue(v.inner[0]);
    case ValueKind::kLongint: {
      // CRCs and flags read better in hexadecimal too.
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", unsigned(uint32_t(v.number)));
      return "longint " + std::to_string(v.number) + " (" + hex + ")";
    }
    default: return std::string(ValueKindName(v.kind)) + " " + WriteJson(ValueToJson(v).begin().value());
  }
}

}  // namespace lqm::host
