// Building and parsing "STR ", "STR#" and "vers" payloads; see payloads.h.
#include "resfile/payloads.h"

#include <utility>

#include "resfile/big_endian.h"

namespace resfile {

namespace {

constexpr size_t kMaxPascalLength = 255;

struct StageEntry {
  int stage;
  const char* name;
};
constexpr StageEntry kStageNames[] = {
    {kStageDevelopment, "development"},
    {kStageAlpha, "alpha"},
    {kStageBeta, "beta"},
    {kStageFinal, "final"},
};

bool AppendPascal(std::vector<uint8_t>& out, const std::string& text, const char* what,
                  std::string* error) {
  if (text.size() > kMaxPascalLength) {
    *error = std::string(what) + " is " + std::to_string(text.size()) +
             " bytes in Mac Roman; a Pascal string holds at most 255";
    return false;
  }
  out.push_back(static_cast<uint8_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
  return true;
}

// Reads a Pascal string at *offset, advancing it; false if it runs past the end.
bool TakePascal(const std::vector<uint8_t>& payload, size_t* offset, std::string* text) {
  if (*offset >= payload.size()) return false;
  const size_t length = payload[*offset];
  if (payload.size() - *offset - 1 < length) return false;
  text->assign(reinterpret_cast<const char*>(payload.data() + *offset + 1), length);
  *offset += 1 + length;
  return true;
}

}  // namespace

const char* StageName(int stage) {
  for (const StageEntry& entry : kStageNames) {
    if (entry.stage == stage) return entry.name;
  }
  return "";
}

int StageFromName(const std::string& name) {
  for (const StageEntry& entry : kStageNames) {
    if (name == entry.name) return entry.stage;
  }
  return -1;
}

bool MakeStringPayload(const std::string& macRoman, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  if (!AppendPascal(*out, macRoman, "string", error)) {
    out->clear();
    return false;
  }
  return true;
}

bool MakeStringListPayload(const std::vector<std::string>& macRoman, std::vector<uint8_t>* out,
                           std::string* error) {
  out->clear();
  if (macRoman.size() > 0x7FFF) {
    *error = "string list of " + std::to_string(macRoman.size()) + " strings exceeds 32767";
    return false;
  }
  AppendBigEndian16(*out, static_cast<uint16_t>(macRoman.size()));
  for (size_t i = 0; i < macRoman.size(); ++i) {
    const std::string what = "string " + std::to_string(i + 1) + " of the list";
    if (!AppendPascal(*out, macRoman[i], what.c_str(), error)) {
      out->clear();
      return false;
    }
  }
  return true;
}

bool MakeVersionPayload(const VersionRecord& version, std::vector<uint8_t>* out,
                        std::string* error) {
  out->clear();
  if (version.major < 0 || version.major > 99 || version.minor < 0 || version.minor > 9 ||
      version.bugfix < 0 || version.bugfix > 9) {
    *error = "version " + std::to_string(version.major) + "." + std::to_string(version.minor) +
             "." + std::to_string(version.bugfix) +
             " out of range (major 0-99, minor and bug-fix 0-9)";
    return false;
  }
  if (version.stage < 0 || version.stage > 255 || version.prerelease < 0 ||
      version.prerelease > 255) {
    *error = "stage and pre-release must each fit a byte";
    return false;
  }
  if (version.region < -32768 || version.region > 32767) {
    *error = "region code " + std::to_string(version.region) + " does not fit 16 bits";
    return false;
  }
  out->push_back(static_cast<uint8_t>(((version.major / 10) << 4) | (version.major % 10)));
  out->push_back(static_cast<uint8_t>((version.minor << 4) | version.bugfix));
  out->push_back(static_cast<uint8_t>(version.stage));
  out->push_back(static_cast<uint8_t>(version.prerelease));
  AppendBigEndian16(*out, static_cast<uint16_t>(version.region));
  if (!AppendPascal(*out, version.shortVersion, "short version", error) ||
      !AppendPascal(*out, version.longVersion, "long version", error)) {
    out->clear();
    return false;
  }
  return true;
}

bool ParseStringPayload(const std::vector<uint8_t>& payload, std::string* macRoman) {
  size_t offset = 0;
  return TakePascal(payload, &offset, macRoman) && offset == payload.size();
}

bool ParseStringListPayload(const std::vector<uint8_t>& payload,
                            std::vector<std::string>* macRoman) {
  macRoman->clear();
  if (payload.size() < 2) return false;
  const int count = LoadBigEndianInt16(payload.data());
  if (count < 0) return false;
  size_t offset = 2;
  for (int i = 0; i < count; ++i) {
    std::string text;
    if (!TakePascal(payload, &offset, &text)) {
      macRoman->clear();
      return false;
    }
    macRoman->push_back(std::move(text));
  }
  if (offset != payload.size()) {
    macRoman->clear();
    return false;
  }
  return true;
}

bool ParseVersionPayload(const std::vector<uint8_t>& payload, VersionRecord* version) {
  if (payload.size() < 6) return false;
  const int tens = payload[0] >> 4;
  const int units = payload[0] & 0xF;
  if (tens > 9 || units > 9 || (payload[1] >> 4) > 9 || (payload[1] & 0xF) > 9) return false;
  if (StageName(payload[2])[0] == '\0') return false;
  VersionRecord parsed;
  parsed.major = tens * 10 + units;
  parsed.minor = payload[1] >> 4;
  parsed.bugfix = payload[1] & 0xF;
  parsed.stage = payload[2];
  parsed.prerelease = payload[3];
  parsed.region = LoadBigEndianInt16(payload.data() + 4);
  size_t offset = 6;
  if (!TakePascal(payload, &offset, &parsed.shortVersion) ||
      !TakePascal(payload, &offset, &parsed.longVersion) || offset != payload.size()) {
    return false;
  }
  *version = std::move(parsed);
  return true;
}

}  // namespace resfile
