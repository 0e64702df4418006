// The payloads of common resource types, built and parsed.
//
//   "STR "  a Pascal string: 1 length byte, then up to 255 bytes
//   "STR#"  count (int16), then that many Pascal strings
//   "vers"  major version (BCD byte), minor and bug-fix (one nibble each),
//           stage byte, pre-release number, region code (int16), then two
//           Pascal strings: the short version ("1.0.2") and the long one
//           shown in the Finder's Get Info ("1.0.2, (c) ...")
//   "TEXT"  the bytes themselves, no length
//
// Texts here are Mac Roman bytes; conversion from UTF-8 is the caller's
// (mac_roman.h). Parsers are exact: a payload with bytes left over or missing
// does not parse, so that a dump which prints the parsed form and a rebuild
// from it give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace resfile {

// Stage bytes of a "vers" record.
inline constexpr uint8_t kStageDevelopment = 0x20;
inline constexpr uint8_t kStageAlpha = 0x40;
inline constexpr uint8_t kStageBeta = 0x60;
inline constexpr uint8_t kStageFinal = 0x80;

struct VersionRecord {
  int major = 0;       // 0..99, stored as two BCD digits
  int minor = 0;       // 0..9
  int bugfix = 0;      // 0..9
  int stage = kStageFinal;
  int prerelease = 0;  // 0..255
  int region = 0;      // int16; 0 is the United States
  std::string shortVersion;  // Mac Roman, at most 255 bytes
  std::string longVersion;
};

// Builders fail with a message (and leave *out empty) on a text over 255
// bytes, a list over 32,767 strings or a version field out of range.
bool MakeStringPayload(const std::string& macRoman, std::vector<uint8_t>* out, std::string* error);
bool MakeStringListPayload(const std::vector<std::string>& macRoman, std::vector<uint8_t>* out,
                           std::string* error);
bool MakeVersionPayload(const VersionRecord& version, std::vector<uint8_t>* out,
                        std::string* error);

bool ParseStringPayload(const std::vector<uint8_t>& payload, std::string* macRoman);
bool ParseStringListPayload(const std::vector<uint8_t>& payload, std::vector<std::string>* macRoman);
// Also refuses a non-BCD major byte and a stage other than the four known.
bool ParseVersionPayload(const std::vector<uint8_t>& payload, VersionRecord* version);

// "final", "beta", ...; empty for an unknown stage byte.
const char* StageName(int stage);
// The stage byte for a name, or -1.
int StageFromName(const std::string& name);

}  // namespace resfile
