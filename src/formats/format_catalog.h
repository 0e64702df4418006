// The output-format catalogue: the seven formats in which the print-to-
// document layer produces documents, as one constant table.
//
// Rows are held in walk order: family 1 (PDF), family 2 (SVG), family 3
// (bitmap images), each family's rows in their listing order. Every walk and
// every lookup goes through this order, and FindFormat stops at the first row
// whose code matches, so the order is part of the behaviour (the two TIFF rows
// share a name and an extension and differ only in code, auxiliary code and
// options). The compile-time checks at the end of this file hold the table to
// that shape: families ascending, codes unique, FamilyRowCount in step with the
// rows. Fields have fixed widths (60, 5 and 256 bytes with the NUL) because
// 4D code written against the catalogue relies on those limits; a literal
// that outgrows its field does not compile.
//
// Nothing in the plugin interprets auxCode or optionTags: they are handed to
// 4D code as they are. Codes are 16-bit: a code that arrives as a longint is
// cut to its low 16 bits (FormatCodeFromLong).
#pragma once

#include <cstdint>

struct OutputFormat {
  int16_t family;          // 1 PDF, 2 SVG, 3 bitmap images
  int16_t nameStringId;    // "STR " resource holding the localized display name
  int16_t formatCode;      // unique key of every lookup
  int16_t auxCode;         // handed out unchanged; -32767 means "none"
  char bitDepth[60];       // decimal pixel depth; empty for vector formats
  char extension[5];       // file extension without the dot
  char optionTags[256];    // <TAG>value</TAG> sequence, handed out unchanged
};

inline constexpr int kFormatFamilyCount = 3;
inline constexpr int16_t kNoFormatAux = -32767;
// The code 4D code uses for "no format chosen"; command 40 skips it.
inline constexpr int16_t kNoFormatCode = -1000;

inline constexpr OutputFormat OutputFormatCatalog[] = {
    {1, 21202, 1300, kNoFormatAux, "", "pdf",
     "<CT>PDF Vector Format</CT><CTxT>1</CTxT><CPct>1</CPct><CA>2</CA>"},
    {2, 21209, 247, kNoFormatAux, "", "svg", ""},
    {3, 21224, 10, kNoFormatAux, "24", "jpg", "<CT>YUV 4:4:4</CT><CA>1</CA>"},
    {3, 21227, 3, kNoFormatAux, "24", "tif", "<CT>Uncompressed RGB</CT>"},
    {3, 21227, 17, 3, "24", "tif", "<CT>LZW RGB</CT><CA>110</CA>"},
    {3, 21228, 2, kNoFormatAux, "8", "gif", "<CT>CompuServe GIF</CT><CIL>1</CIL>"},
    {3, 21229, 75, kNoFormatAux, "32", "png", "<CT>PNG Format</CT><CA>1</CA>"},
};
inline constexpr int kFormatRowCount =
    static_cast<int>(sizeof OutputFormatCatalog / sizeof OutputFormatCatalog[0]);

// Rows a listing yields, by listing mode: 0 all families, 1 PDF, 2 SVG,
// 3 bitmap images. Entries 1 to 3 are the family sizes.
inline constexpr int16_t FamilyRowCount[kFormatFamilyCount + 1] = {7, 1, 1, 5};

// Where FindFormat found a code: family 1..3 and the position in the family
// from 0, or family 0 and position -1.
struct FormatLocation {
  int32_t family;
  int32_t position;
};

FormatLocation FindFormat(int16_t code);
// The row at a location FindFormat gave, or null for "not found" and for any
// location outside the catalogue.
const OutputFormat* FormatAt(FormatLocation location);
// The row of a code, or null: FindFormat followed by FormatAt.
const OutputFormat* FindFormatRow(int16_t code);

// A longint code's low 16 bits, read as a signed 16-bit code.
constexpr int16_t FormatCodeFromLong(int32_t value) {
  const auto low = static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu);
  return static_cast<int16_t>(low >= 0x8000u ? static_cast<int32_t>(low) - 0x10000
                                             : static_cast<int32_t>(low));
}

// A real array element read as a code: truncated toward zero to a 32-bit
// integer (0 when out of that range or not a number), then its low 16 bits.
constexpr int16_t FormatCodeFromReal(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;  // NaN fails both tests
  return FormatCodeFromLong(static_cast<int32_t>(value));
}

// Listing modes outside 0..3 list everything.
constexpr int32_t NormalizeListingMode(int32_t mode) { return mode >= 0 && mode <= 3 ? mode : 0; }

// ---------------------------------------------------------------------------
// Shape checks: a change to the rows that breaks the walk order, the code
// uniqueness or the family counts stops the build here.
// ---------------------------------------------------------------------------

namespace lqm::detail {

constexpr bool FormatFamiliesAscend() {
  for (int i = 0; i < kFormatRowCount; ++i) {
    const int16_t family = OutputFormatCatalog[i].family;
    if (family < 1 || family > kFormatFamilyCount) return false;
    if (i > 0 && family < OutputFormatCatalog[i - 1].family) return false;
  }
  return true;
}

constexpr bool FormatCodesUnique() {
  for (int i = 0; i < kFormatRowCount; ++i)
    for (int j = i + 1; j < kFormatRowCount; ++j)
      if (OutputFormatCatalog[i].formatCode == OutputFormatCatalog[j].formatCode) return false;
  return true;
}

constexpr bool FamilyRowCountMatchesRows() {
  if (FamilyRowCount[0] != kFormatRowCount) return false;
  for (int family = 1; family <= kFormatFamilyCount; ++family) {
    int rows = 0;
    for (const OutputFormat& row : OutputFormatCatalog) rows += row.family == family ? 1 : 0;
    if (FamilyRowCount[family] != rows) return false;
  }
  return true;
}

}  // namespace lqm::detail

static_assert(lqm::detail::FormatFamiliesAscend(), "catalogue rows must be grouped by family 1..3");
static_assert(lqm::detail::FormatCodesUnique(), "format codes must be unique");
static_assert(lqm::detail::FamilyRowCountMatchesRows(), "FamilyRowCount out of step with the rows");
static_assert(FormatCodeFromLong(65536 + 1300) == 1300 && FormatCodeFromLong(-1) == -1 &&
                  FormatCodeFromLong(0xFFFF) == -1 && FormatCodeFromLong(0x8000) == -32768,
              "codes are the low 16 bits, signed");
static_assert(FormatCodeFromReal(1300.9) == 1300 && FormatCodeFromReal(-1000.7) == -1000 &&
                  FormatCodeFromReal(65536.0 + 75.5) == 75 && FormatCodeFromReal(3e9) == 0,
              "real codes truncate toward zero, then keep the low 16 bits");
