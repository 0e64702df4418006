// The resource source printer (source_printer.h): resources written back
// as statements of the source language, and the one-line listing.
#include "resfile/source_printer.h"

#include <cstdio>

#include "resfile/mac_roman.h"
#include "resfile/payloads.h"
#include "resfile/source_syntax.h"

namespace resfile {

namespace {

std::string FormatAttributes(uint8_t attributes) {
  std::string out;
  uint8_t unnamed = attributes;
  for (const syntax::AttributeWord& attribute : syntax::kAttributeWords) {
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

}  // namespace resfile
