// Tests of the resource-file library: the writer's exact bytes, round trips,
// the reader against a table of hostile files (each with the fault it must
// report) and every one-byte corruption of a small file, the payload
// builders, and the Mac Roman table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "resfile/big_endian.h"
#include "resfile/mac_roman.h"
#include "resfile/payloads.h"
#include "resfile/resfile.h"

namespace {

using resfile::MakeTypeCode;
using resfile::Resource;
using resfile::ResourceError;
using resfile::ResourceFault;

Resource MakeResource(const char (&type)[5], int16_t id, std::vector<uint8_t> data,
                      const char* name = nullptr, uint8_t attributes = 0) {
  Resource r;
  r.type = MakeTypeCode(type);
  r.id = id;
  r.data = std::move(data);
  r.attributes = attributes;
  if (name != nullptr) {
    r.hasName = true;
    r.name = name;
  }
  return r;
}

bool SameResource(const Resource& a, const Resource& b) {
  return a.type == b.type && a.id == b.id && a.hasName == b.hasName && a.name == b.name &&
         a.attributes == b.attributes && a.data == b.data;
}

// Three resources whose file is written out by hand in KnownFileBytes.
std::vector<Resource> KnownResources() {
  return {MakeResource("WXYZ", 7, {0x01}),
          MakeResource("ABCD", 1, {0xAA, 0xBB}, "n", resfile::kAttributePurgeable),
          MakeResource("ABCD", -2, {})};
}

// Sorted order ABCD -2, ABCD 1, WXYZ 7. Data area at 256: 4 + 6 + 5 = 15 bytes;
// map at 271: 28 fixed + type list 2 + 2*8 + references 3*12 = 82, then the
// name list "\1n": 84 bytes. File: 355 bytes.
std::vector<uint8_t> KnownFileBytes() {
  std::vector<uint8_t> header = {0, 0, 0x01, 0x00, 0, 0, 0x01, 0x0F, 0, 0, 0, 0x0F, 0, 0, 0, 0x54};
  std::vector<uint8_t> bytes = header;
  bytes.resize(256, 0);
  const std::vector<uint8_t> data = {
      0, 0, 0, 0,                  // ABCD -2 at 0: empty
      0, 0, 0, 2, 0xAA, 0xBB,      // ABCD 1 at 4
      0, 0, 0, 1, 0x01,            // WXYZ 7 at 10
  };
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes.insert(bytes.end(), header.begin(), header.end());  // map: header copy
  const std::vector<uint8_t> map = {
      0, 0, 0, 0, 0, 0, 0, 0,      // handle, file reference, attributes
      0x00, 0x1C, 0x00, 0x52,      // type list at 28, name list at 82
      0x00, 0x01,                  // 2 types
      'A', 'B', 'C', 'D', 0x00, 0x01, 0x00, 0x12,  // 2 resources, references at 18
      'W', 'X', 'Y', 'Z', 0x00, 0x00, 0x00, 0x2A,  // 1 resource, references at 42
      0xFF, 0xFE, 0xFF, 0xFF, 0x00, 0, 0, 0x00, 0, 0, 0, 0,  // -2, no name, data 0
      0x00, 0x01, 0x00, 0x00, 0x20, 0, 0, 0x04, 0, 0, 0, 0,  // 1, name 0, purgeable, data 4
      0x00, 0x07, 0xFF, 0xFF, 0x00, 0, 0, 0x0A, 0, 0, 0, 0,  // 7, no name, data 10
      0x01, 'n',                                             // name list
  };
  bytes.insert(bytes.end(), map.begin(), map.end());
  return bytes;
}

// Offsets into KnownFileBytes used by the hostile cases.
constexpr size_t kMap = 271;
constexpr size_t kTypeList = kMap + 28;
constexpr size_t kReferences = kTypeList + 18;  // ABCD -2, ABCD 1, WXYZ 7; 12 bytes each
constexpr size_t kNames = kMap + 82;

// ===========================================================================
// Writer
// ===========================================================================

TEST(ResourceFileWriter, MatchesHandComputedLayout) {
  std::vector<uint8_t> bytes;
  ResourceError error;
  ASSERT_TRUE(resfile::WriteResourceFile(KnownResources(), &bytes, &error)) << error.message;
  EXPECT_EQ(bytes, KnownFileBytes());
}

TEST(ResourceFileWriter, EmptyFileHasNoTypes) {
  std::vector<uint8_t> bytes;
  ResourceError error;
  ASSERT_TRUE(resfile::WriteResourceFile({}, &bytes, &error));
  ASSERT_EQ(bytes.size(), 256u + 30u);
  EXPECT_EQ(resfile::LoadBigEndian16(&bytes[256 + 28]), 0xFFFF);  // count-1 = -1
  std::vector<Resource> read;
  ASSERT_TRUE(resfile::ReadResourceFile(bytes, &read, &error)) << error.message;
  EXPECT_TRUE(read.empty());
}

TEST(ResourceFileWriter, RefusesWhatTheFormatCannotHold) {
  std::vector<Resource> tooMany;
  for (int i = 0; i < 3000; ++i) tooMany.push_back(MakeResource("DATA", static_cast<int16_t>(i), {}));
  std::vector<Resource> atLimit(tooMany.begin(), tooMany.begin() + 2727);
  Resource longName = MakeResource("DATA", 1, {});
  longName.hasName = true;
  longName.name.assign(256, 'x');
  // The second block would start at 16 MiB + 4, past the 24-bit offsets.
  std::vector<Resource> pastOffsets = {MakeResource("BIGA", 1, std::vector<uint8_t>(0xFFFFFF)),
                                       MakeResource("BIGB", 1, {1})};
  struct Case {
    const char* label;
    std::vector<Resource> resources;
    ResourceFault fault;
  } cases[] = {
      {"duplicate id", {MakeResource("DATA", 5, {1}), MakeResource("DATA", 5, {2})}, ResourceFault::kDuplicateId},
      {"name over 255 bytes", {longName}, ResourceFault::kNameTooLong},
      {"3000 resources", tooMany, ResourceFault::kTooLarge},
      {"data past 16 MiB", pastOffsets, ResourceFault::kTooLarge},
      {"2727 resources fit", atLimit, ResourceFault::kNone},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = {1, 2, 3};
    ResourceError error;
    const bool ok = resfile::WriteResourceFile(c.resources, &bytes, &error);
    EXPECT_EQ(ok, c.fault == ResourceFault::kNone) << c.label;
    EXPECT_EQ(error.fault, c.fault) << c.label << ": " << error.message;
    if (!ok) {
      EXPECT_TRUE(bytes.empty()) << c.label;
      EXPECT_FALSE(error.message.empty()) << c.label;
    }
  }
}

// ===========================================================================
// Round trips and lookup
// ===========================================================================

TEST(ResourceFile, RoundTripsManyResourcesInAnyInputOrder) {
  static const char kTypes[][5] = {"STR ", "STR#", "vers", "TEXT", "xpdt", "\x01\xFF\x80 "};
  std::vector<Resource> resources;
  uint32_t seed = 12345;
  for (int i = 0; i < 600; ++i) {
    seed = seed * 1103515245u + 12345u;
    Resource r = MakeResource("DATA", static_cast<int16_t>(i * 97 - 30000), {});
    std::memcpy(r.type.data(), kTypes[i % 6], 4);
    r.data.resize((seed >> 16) % 700);
    for (size_t b = 0; b < r.data.size(); ++b) r.data[b] = static_cast<uint8_t>(b * 31 + i);
    r.attributes = static_cast<uint8_t>(seed >> 8);
    if (i % 3 != 0) {
      r.hasName = true;
      // Empty names, 255-byte names, and few enough bytes for 16-bit name offsets.
      r.name = std::string(i % 50 == 1 ? 255 : i % 20, static_cast<char>('a' + i % 26));
    }
    resources.push_back(r);
  }
  std::vector<uint8_t> bytes;
  ResourceError error;
  ASSERT_TRUE(resfile::WriteResourceFile(resources, &bytes, &error)) << error.message;
  std::vector<Resource> read;
  ASSERT_TRUE(resfile::ReadResourceFile(bytes, &read, &error)) << error.message;
  ASSERT_EQ(read.size(), resources.size());
  for (const Resource& original : resources) {
    const Resource* found = resfile::LookupResource(read, original.type, original.id);
    ASSERT_NE(found, nullptr) << original.id;
    EXPECT_TRUE(SameResource(*found, original)) << original.id;
  }
  std::vector<Resource> reversed(resources.rbegin(), resources.rend());
  std::vector<uint8_t> again;
  ASSERT_TRUE(resfile::WriteResourceFile(reversed, &again, &error));
  EXPECT_EQ(again, bytes);
}

TEST(ResourceFile, LooksUpByIdAndByName) {
  std::vector<Resource> read;
  ResourceError error;
  ASSERT_TRUE(resfile::ReadResourceFile(KnownFileBytes(), &read, &error)) << error.message;
  ASSERT_EQ(read.size(), 3u);
  const Resource* byId = resfile::LookupResource(read, MakeTypeCode("ABCD"), 1);
  ASSERT_NE(byId, nullptr);
  EXPECT_EQ(byId->data, (std::vector<uint8_t>{0xAA, 0xBB}));
  EXPECT_EQ(byId->attributes, resfile::kAttributePurgeable);
  EXPECT_EQ(resfile::LookupNamedResource(read, MakeTypeCode("ABCD"), "n"), byId);
  EXPECT_EQ(resfile::LookupNamedResource(read, MakeTypeCode("WXYZ"), "n"), nullptr);
  EXPECT_EQ(resfile::LookupNamedResource(read, MakeTypeCode("ABCD"), "N"), nullptr);
  EXPECT_EQ(resfile::LookupResource(read, MakeTypeCode("ABCD"), 7), nullptr);
  EXPECT_EQ(resfile::LookupResource(read, MakeTypeCode("WXYZ"), 7)->data, (std::vector<uint8_t>{1}));
}

// ===========================================================================
// Hostile files
// ===========================================================================

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) { resfile::StoreBigEndian16(&bytes[at], value); }
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { resfile::StoreBigEndian32(&bytes[at], value); }

TEST(ResourceFileReader, ReportsEachHostileFileWithItsFault) {
  using Edit = void (*)(std::vector<uint8_t>&);
  struct Case {
    const char* label;
    Edit edit;
    ResourceFault fault;
  } cases[] = {
      {"untouched", [](std::vector<uint8_t>&) {}, ResourceFault::kNone},
      {"empty file", [](std::vector<uint8_t>& b) { b.clear(); }, ResourceFault::kTruncatedHeader},
      {"15 bytes", [](std::vector<uint8_t>& b) { b.resize(15); }, ResourceFault::kTruncatedHeader},
      {"header only", [](std::vector<uint8_t>& b) { b.resize(16); }, ResourceFault::kAreaPastEnd},
      {"cut inside the map", [](std::vector<uint8_t>& b) { b.pop_back(); }, ResourceFault::kAreaPastEnd},
      {"map length lies", [](std::vector<uint8_t>& b) { Put32(b, 12, 0x55); }, ResourceFault::kAreaPastEnd},
      {"data length lies", [](std::vector<uint8_t>& b) { Put32(b, 8, 0xFFFFFFFF); }, ResourceFault::kAreaPastEnd},
      {"map offset wraps 32 bits", [](std::vector<uint8_t>& b) { Put32(b, 4, 0xFFFFFFF0); }, ResourceFault::kAreaPastEnd},
      {"data runs into map", [](std::vector<uint8_t>& b) { Put32(b, 8, 16); }, ResourceFault::kAreasOverlap},
      {"map over header", [](std::vector<uint8_t>& b) { Put32(b, 4, 8); Put32(b, 12, 40); }, ResourceFault::kAreasOverlap},
      {"data over header", [](std::vector<uint8_t>& b) { Put32(b, 0, 0); }, ResourceFault::kAreasOverlap},
      {"map of 29 bytes", [](std::vector<uint8_t>& b) { Put32(b, 12, 29); }, ResourceFault::kMapTooShort},
      {"type list past map", [](std::vector<uint8_t>& b) { Put16(b, kMap + 24, 83); }, ResourceFault::kTypeListPastMap},
      {"type list inside fixed fields", [](std::vector<uint8_t>& b) { Put16(b, kMap + 24, 0); }, ResourceFault::kTypeListPastMap},
      {"name list past map", [](std::vector<uint8_t>& b) { Put16(b, kMap + 26, 85); }, ResourceFault::kNameListPastMap},
      {"huge type count", [](std::vector<uint8_t>& b) { Put16(b, kTypeList, 0x7FFF); }, ResourceFault::kTypeListPastMap},
      {"negative type count", [](std::vector<uint8_t>& b) { Put16(b, kTypeList, 0xFFFB); }, ResourceFault::kBadCount},
      {"huge resource count", [](std::vector<uint8_t>& b) { Put16(b, kTypeList + 6, 0x7FFF); }, ResourceFault::kReferenceListPastMap},
      {"negative resource count", [](std::vector<uint8_t>& b) { Put16(b, kTypeList + 6, 0xFFFD); }, ResourceFault::kBadCount},
      {"reference list past map", [](std::vector<uint8_t>& b) { Put16(b, kTypeList + 16, 0xFFF0); }, ResourceFault::kReferenceListPastMap},
      {"two types share one list", [](std::vector<uint8_t>& b) { Put16(b, kTypeList + 16, 18); }, ResourceFault::kListsOverlap},
      {"lists overlap by one entry", [](std::vector<uint8_t>& b) { Put16(b, kTypeList + 16, 30); }, ResourceFault::kListsOverlap},
      {"list loops into type list", [](std::vector<uint8_t>& b) { Put16(b, kTypeList + 16, 0); }, ResourceFault::kListsOverlap},
      {"type listed twice", [](std::vector<uint8_t>& b) { std::memcpy(&b[kTypeList + 10], "ABCD", 4); }, ResourceFault::kDuplicateType},
      {"id listed twice", [](std::vector<uint8_t>& b) { Put16(b, kReferences + 12, 0xFFFE); }, ResourceFault::kDuplicateId},
      {"data offset past area", [](std::vector<uint8_t>& b) { Put16(b, kReferences + 12 + 6, 0xFFFF); }, ResourceFault::kDataPastArea},
      {"data offset at area's end", [](std::vector<uint8_t>& b) { b[kReferences + 24 + 7] = 12; }, ResourceFault::kDataPastArea},
      {"data length lies", [](std::vector<uint8_t>& b) { Put32(b, 256 + 4, 0x7FFFFFFF); }, ResourceFault::kDataPastArea},
      {"data length one too long", [](std::vector<uint8_t>& b) { Put32(b, 256 + 10, 2); }, ResourceFault::kDataPastArea},
      {"two resources, one block", [](std::vector<uint8_t>& b) { b[kReferences + 24 + 7] = 0; }, ResourceFault::kDataOverlap},
      {"blocks overlap", [](std::vector<uint8_t>& b) { b[kReferences + 7] = 2; Put32(b, 256 + 2, 0); }, ResourceFault::kDataOverlap},
      {"name offset past map", [](std::vector<uint8_t>& b) { Put16(b, kReferences + 12 + 2, 0x1000); }, ResourceFault::kNamePastMap},
      {"name length past map", [](std::vector<uint8_t>& b) { b[kNames] = 0xFF; }, ResourceFault::kNamePastMap},
      {"names shared", [](std::vector<uint8_t>& b) { Put16(b, kReferences + 2, 0); }, ResourceFault::kNamePastMap},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = KnownFileBytes();
    c.edit(bytes);
    std::vector<Resource> read = {MakeResource("JUNK", 1, {1})};
    ResourceError error;
    const bool ok = resfile::ReadResourceFile(bytes, &read, &error);
    EXPECT_EQ(ok, c.fault == ResourceFault::kNone) << c.label;
    EXPECT_EQ(error.fault, c.fault) << c.label << ": " << error.message;
    if (!ok) {
      EXPECT_TRUE(read.empty()) << c.label;
      EXPECT_FALSE(error.message.empty()) << c.label;
    }
  }
}

// Every prefix and every single-byte change of a valid file: the reader may
// accept or refuse, but must stay in bounds (the sanitizer build checks) and
// never hand out more data than the file holds.
TEST(ResourceFileReader, SurvivesEveryTruncationAndByteChange) {
  const std::vector<uint8_t> original = KnownFileBytes();
  for (size_t length = 0; length < original.size(); ++length) {
    std::vector<uint8_t> bytes(original.begin(), original.begin() + length);
    std::vector<Resource> read;
    ResourceError error;
    EXPECT_FALSE(resfile::ReadResourceFile(bytes.data(), bytes.size(), &read, &error)) << length;
  }
  for (size_t at = 0; at < original.size(); ++at) {
    for (int value = 0; value < 256; ++value) {
      std::vector<uint8_t> bytes = original;
      bytes[at] = static_cast<uint8_t>(value);
      std::vector<Resource> read;
      ResourceError error;
      if (resfile::ReadResourceFile(bytes, &read, &error)) {
        size_t total = 0;
        for (const Resource& r : read) total += r.data.size() + r.name.size();
        ASSERT_LE(total, bytes.size()) << at << " = " << value;
      } else {
        ASSERT_NE(error.fault, ResourceFault::kNone) << at << " = " << value;
      }
    }
  }
}

// ===========================================================================
// Payloads
// ===========================================================================

TEST(ResourcePayloads, BuildKnownBytes) {
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_TRUE(resfile::MakeStringPayload("Hi", &out, &error));
  EXPECT_EQ(out, (std::vector<uint8_t>{2, 'H', 'i'}));
  ASSERT_TRUE(resfile::MakeStringListPayload({"a", "", "bc"}, &out, &error));
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 3, 1, 'a', 0, 2, 'b', 'c'}));
  resfile::VersionRecord version;
  version.major = 12, version.minor = 3, version.bugfix = 4;
  version.stage = resfile::kStageBeta, version.prerelease = 5, version.region = -2;
  version.shortVersion = "12.3.4b5";
  version.longVersion = "x";
  ASSERT_TRUE(resfile::MakeVersionPayload(version, &out, &error)) << error;
  const std::vector<uint8_t> expected = {0x12, 0x34, 0x60, 5, 0xFF, 0xFE, 8, '1', '2', '.', '3', '.', '4', 'b', '5', 1, 'x'};
  EXPECT_EQ(out, expected);
  resfile::VersionRecord parsed;
  ASSERT_TRUE(resfile::ParseVersionPayload(out, &parsed));
  EXPECT_EQ(parsed.major, 12);
  EXPECT_EQ(parsed.bugfix, 4);
  EXPECT_EQ(parsed.region, -2);
  EXPECT_EQ(parsed.shortVersion, "12.3.4b5");
}

TEST(ResourcePayloads, BuildersRefuseOutOfRangeFields) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(resfile::MakeStringPayload(std::string(255, 'x'), &out, &error));
  EXPECT_EQ(out.size(), 256u);
  EXPECT_FALSE(resfile::MakeStringPayload(std::string(256, 'x'), &out, &error));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(resfile::MakeStringListPayload({"ok", std::string(256, 'x')}, &out, &error));
  EXPECT_NE(error.find("string 2"), std::string::npos) << error;
  struct Case {
    int major, minor, bugfix, stage, prerelease, region;
    bool ok;
  } cases[] = {
      {99, 9, 9, 0x80, 255, 32767, true}, {100, 0, 0, 0x80, 0, 0, false}, {1, 10, 0, 0x80, 0, 0, false},
      {1, 0, 10, 0x80, 0, 0, false},      {-1, 0, 0, 0x80, 0, 0, false},  {1, 0, 0, 0x80, 256, 0, false},
      {1, 0, 0, 0x80, 0, 32768, false},   {1, 0, 0, 0x80, 0, -32768, true},
  };
  for (const Case& c : cases) {
    resfile::VersionRecord v;
    v.major = c.major, v.minor = c.minor, v.bugfix = c.bugfix;
    v.stage = c.stage, v.prerelease = c.prerelease, v.region = c.region;
    EXPECT_EQ(resfile::MakeVersionPayload(v, &out, &error), c.ok) << c.major << "." << c.minor << "." << c.bugfix;
  }
}

TEST(ResourcePayloads, ParsersRefuseInexactPayloads) {
  std::string text;
  std::vector<std::string> list;
  resfile::VersionRecord version;
  EXPECT_TRUE(resfile::ParseStringPayload({0}, &text));
  EXPECT_FALSE(resfile::ParseStringPayload({}, &text));
  EXPECT_FALSE(resfile::ParseStringPayload({1, 'a', 'b'}, &text));      // byte left over
  EXPECT_FALSE(resfile::ParseStringPayload({3, 'a', 'b'}, &text));      // byte missing
  EXPECT_TRUE(resfile::ParseStringListPayload({0, 0}, &list));
  EXPECT_FALSE(resfile::ParseStringListPayload({0, 2, 1, 'a'}, &list));  // second string missing
  EXPECT_FALSE(resfile::ParseStringListPayload({0xFF, 0xFF}, &list));    // negative count
  EXPECT_TRUE(list.empty());
  const std::vector<uint8_t> good = {0x01, 0x00, 0x80, 0, 0, 0, 0, 0};
  EXPECT_TRUE(resfile::ParseVersionPayload(good, &version));
  std::vector<uint8_t> notBcd = good;
  notBcd[0] = 0x1A;
  EXPECT_FALSE(resfile::ParseVersionPayload(notBcd, &version));
  std::vector<uint8_t> unknownStage = good;
  unknownStage[2] = 0x50;
  EXPECT_FALSE(resfile::ParseVersionPayload(unknownStage, &version));
  EXPECT_FALSE(resfile::ParseVersionPayload({0x01, 0x00, 0x80, 0, 0, 0, 0}, &version));
}

// ===========================================================================
// Mac Roman
// ===========================================================================

TEST(MacRoman, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = resfile::MacRomanToUtf8(all);
  std::string back;
  resfile::MacRomanFailure failure;
  ASSERT_TRUE(resfile::Utf8ToMacRoman(utf8, &back, &failure));
  EXPECT_EQ(back, all);
  for (int i = 0; i < 128; ++i) {
    EXPECT_GE(resfile::kMacRomanHigh[i], 0xA0) << i;  // no ASCII, no C1 controls
  }
  // Landmarks of the modern charset.
  EXPECT_EQ(resfile::MacRomanToCodePoint(0x8E), 0x00E9u);  // e acute
  EXPECT_EQ(resfile::MacRomanToCodePoint(0xA9), 0x00A9u);  // copyright
  EXPECT_EQ(resfile::MacRomanToCodePoint(0xCA), 0x00A0u);  // no-break space
  EXPECT_EQ(resfile::MacRomanToCodePoint(0xDB), 0x20ACu);  // euro
  EXPECT_EQ(resfile::MacRomanToCodePoint(0xF0), 0xF8FFu);  // Apple logo
  EXPECT_EQ(resfile::MacRomanToCodePoint(0xFF), 0x02C7u);  // caron
}

TEST(MacRoman, RefusesInvalidUtf8AndUnmappableCharacters) {
  struct Case {
    const char* label;
    std::string utf8;
    bool invalid;
    uint32_t codePoint;
    size_t offset;
  } cases[] = {
      {"CJK character", "ab\xE4\xB8\xAD", false, 0x4E2D, 2},
      {"emoji", "\xF0\x9F\x98\x80", false, 0x1F600, 0},
      {"overlong slash", "x\xC0\xAF", true, 0, 1},
      {"surrogate", "\xED\xA0\x80", true, 0, 0},
      {"truncated", "ok\xE2\x82", true, 0, 2},
      {"past U+10FFFF", "\xF4\x90\x80\x80", true, 0, 0},
      {"lone continuation", "\x80", true, 0, 0},
  };
  for (const Case& c : cases) {
    std::string out = "stale";
    resfile::MacRomanFailure failure;
    EXPECT_FALSE(resfile::Utf8ToMacRoman(c.utf8, &out, &failure)) << c.label;
    EXPECT_TRUE(out.empty()) << c.label;
    EXPECT_EQ(failure.invalidUtf8, c.invalid) << c.label;
    EXPECT_EQ(failure.codePoint, c.codePoint) << c.label;
    EXPECT_EQ(failure.byteOffset, c.offset) << c.label;
  }
}

#ifndef _WIN32
// glibc's MACINTOSH converter is an independent table of the same charset.
// It differs in two places, both known: 0xC6 is U+0394 (Greek delta) there
// where the charset's own mapping has U+2206 (increment), and 0xF0 is a
// private code of glibc's instead of U+F8FF.
TEST(MacRoman, AgreesWithTheCLibraryConverter) {
  iconv_t converter = iconv_open("UTF-32BE", "MACINTOSH");
  if (converter == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no MACINTOSH converter";
  for (int b = 0x80; b < 0x100; ++b) {
    if (b == 0xC6 || b == 0xF0) continue;
    char in = static_cast<char>(b);
    unsigned char out[4] = {};
    char* inPointer = &in;
    char* outPointer = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = 4;
    ASSERT_NE(iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft), static_cast<size_t>(-1)) << b;
    EXPECT_EQ(resfile::LoadBigEndian32(out), resfile::MacRomanToCodePoint(static_cast<uint8_t>(b))) << std::hex << b;
  }
  iconv_close(converter);
}
#endif

}  // namespace
