// The typed values that travel between a test or a session script and the
// development host: what a command receives as arguments and gives back.
//
// A Value mirrors one of the protocol's typed values ({"longint": n},
// {"text": "..."}, {"longint_array": [e0, e1, ...]}, {"variable": A} ...).
// It is a plain record: `kind` says which member holds the value, the others
// stay empty. Arrays always include element 0, so an array of n elements has
// n + 1 entries. Texts are UTF-16 as 4D keeps them, so a text that is not
// valid Unicode survives the trip unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace lqm::host {

enum class ValueKind {
  kLongint,
  kInteger,
  kReal,
  kText,
  kBlob,
  kTime,
  kBoolean,
  kUndefined,
  kLongintArray,
  kIntegerArray,
  kRealArray,
  kTextArray,
  kVariable,  // a parameter designating a variable; `inner[0]` is its value
};

struct Value {
  ValueKind kind = ValueKind::kUndefined;
  int64_t number = 0;  // longint, integer (its 16 bits, signed), time, boolean (0/1)
  double real = 0;
  std::u16string text;
  std::vector<uint8_t> blob;
  std::vector<int32_t> longints;
  std::vector<int16_t> integers;
  std::vector<double> reals;
  std::vector<std::u16string> texts;
  std::vector<Value> inner;

  static Value Longint(int32_t v);
  static Value Integer(int16_t v);
  static Value Real(double v);
  static Value Text(std::u16string v);
  static Value TextUtf8(std::string_view utf8);
  static Value Blob(std::vector<uint8_t> bytes);
  static Value BlobOf(std::string_view bytes);
  static Value Time(int32_t v);
  static Value Boolean(bool v);
  static Value Undefined();
  static Value LongintArray(std::vector<int32_t> elements);  // element 0 first
  static Value IntegerArray(std::vector<int16_t> elements);
  static Value RealArray(std::vector<double> elements);
  static Value TextArray(std::vector<std::u16string> elements);
  static Value Variable(Value held);

  bool IsArray() const;
  // The value a variable parameter holds, or the value itself.
  const Value& Held() const { return kind == ValueKind::kVariable ? inner[0] : *this; }
  bool operator==(const Value& other) const;
  bool operator!=(const Value& other) const { return !(*this == other); }
};

// The protocol's name of a kind ("longint", "text_array", ...).
const char* ValueKindName(ValueKind kind);

// Reads a typed value from its JSON form; false with a message when the JSON
// is not one. A "variable" may not hold another variable.
bool ValueFromJson(const nlohmann::json& json, Value& out, std::string& error);
// The JSON form of a value. Texts are stored as "loose" UTF-8 (lone
// surrogates kept); WriteJson turns those into \uXXXX escapes.
nlohmann::ordered_json ValueToJson(const Value& value);

// Serialises JSON on one line like nlohmann's dump, except that strings are
// escaped by this writer so that lone surrogates appear as \uXXXX instead of
// making the dump fail.
std::string WriteJson(const nlohmann::ordered_json& json);

// A readable one-line form for people (lqm-host demo and call).
std::string DescribeValue(const Value& value);

std::string Base64Encode(const std::vector<uint8_t>& bytes);
// False when the text is not canonical Base64 (padding required).
bool Base64Decode(std::string_view text, std::vector<uint8_t>& out);

}  // namespace lqm::host
