// The output-format catalogue read directly: lookups by code, walk order per
// listing mode, field widths, and the 16-bit reading of longint and real
// codes. The commands that hand these facts to 4D are tested through the
// host in format_commands_test.cpp.
#include "formats/format_catalog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

struct CodeCase {
  int32_t longCode;  // as 4D passes it
  const char* extension;
  int32_t family;
  int32_t position;
  int16_t nameStringId;
};

// Every row, then codes no row has, then codes that match only through their
// low 16 bits.
const CodeCase kCodeCases[] = {
    {1300, "pdf", 1, 0, 21202},
    {247, "svg", 2, 0, 21209},
    {10, "jpg", 3, 0, 21224},
    {3, "tif", 3, 1, 21227},
    {17, "tif", 3, 2, 21227},
    {2, "gif", 3, 3, 21228},
    {75, "png", 3, 4, 21229},
    {0, "", 0, -1, 0},
    {1, "", 0, -1, 0},
    {-1, "", 0, -1, 0},
    {-1000, "", 0, -1, 0},
    {65536, "", 0, -1, 0},
    {65536 + 1300, "pdf", 1, 0, 21202},
    {-65536 + 75, "png", 3, 4, 21229},
    {0x7FFF0000 + 17, "tif", 3, 2, 21227},
};

TEST(FormatCatalog, FindsEveryCodeByItsLow16Bits) {
  for (const CodeCase& c : kCodeCases) {
    SCOPED_TRACE(c.longCode);
    const FormatLocation location = FindFormat(FormatCodeFromLong(c.longCode));
    EXPECT_EQ(location.family, c.family);
    EXPECT_EQ(location.position, c.position);
    const OutputFormat* row = FindFormatRow(FormatCodeFromLong(c.longCode));
    if (c.family == 0) {
      EXPECT_EQ(row, nullptr);
      continue;
    }
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->extension, c.extension);
    EXPECT_EQ(row->nameStringId, c.nameStringId);
    EXPECT_EQ(row->family, c.family);
    EXPECT_EQ(FormatAt(location), row);
  }
}

std::vector<std::string> ExtensionsOfMode(int32_t rawMode) {
  const int32_t mode = NormalizeListingMode(rawMode);
  std::vector<std::string> extensions;
  for (const OutputFormat& row : OutputFormatCatalog)
    if (mode == 0 || row.family == mode) extensions.push_back(row.extension);
  return extensions;
}

TEST(FormatCatalog, ListingModesWalkFamiliesInOrder) {
  const std::vector<std::string> all = {"pdf", "svg", "jpg", "tif", "tif", "gif", "png"};
  struct {
    int32_t mode;
    std::vector<std::string> extensions;
  } const cases[] = {
      {0, all},
      {1, {"pdf"}},
      {2, {"svg"}},
      {3, {"jpg", "tif", "tif", "gif", "png"}},
      {4, all},
      {-1, all},
      {std::numeric_limits<int32_t>::min(), all},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(ExtensionsOfMode(c.mode), c.extensions);
    EXPECT_EQ(static_cast<size_t>(FamilyRowCount[NormalizeListingMode(c.mode)]), c.extensions.size());
  }
}

TEST(FormatCatalog, FieldsKeepTheirFixedWidths) {
  EXPECT_EQ(sizeof(OutputFormat{}.bitDepth), 60u);
  EXPECT_EQ(sizeof(OutputFormat{}.extension), 5u);
  EXPECT_EQ(sizeof(OutputFormat{}.optionTags), 256u);
  for (const OutputFormat& row : OutputFormatCatalog) {
    // Terminated inside the field, so a copy by field width is a whole text.
    EXPECT_NE(std::memchr(row.bitDepth, 0, sizeof row.bitDepth), nullptr);
    EXPECT_NE(std::memchr(row.extension, 0, sizeof row.extension), nullptr);
    EXPECT_NE(std::memchr(row.optionTags, 0, sizeof row.optionTags), nullptr);
  }
}

TEST(FormatCatalog, LocationsOutsideTheCatalogueFindNoRow) {
  const FormatLocation outside[] = {{0, -1}, {0, 0}, {4, 0}, {-1, 0}, {1, 1}, {2, -1}, {3, 5}};
  for (const FormatLocation& location : outside) {
    SCOPED_TRACE(testing::Message() << location.family << "/" << location.position);
    EXPECT_EQ(FormatAt(location), nullptr);
  }
  EXPECT_EQ(FormatAt({3, 4})->formatCode, 75);
}

TEST(FormatCatalog, RealCodesTruncateTowardZeroThenKeepLow16Bits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct {
    double value;
    int16_t code;
  } const cases[] = {
      {1300.9, 1300},       {-1000.0, -1000},      {-1000.9, -1000},     {0.99, 0},
      {-0.99, 0},           {65536.0 + 75, 75},    {65535.0, -1},        {32768.0, -32768},
      {2147483647.9, -1},   {-2147483648.9, 0},    {2147483648.0, 0},    {-2147483649.0, 0},
      {1e300, 0},           {nan, 0},              {inf, 0},             {-inf, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatCodeFromReal(c.value), c.code);
  }
}

}  // namespace
