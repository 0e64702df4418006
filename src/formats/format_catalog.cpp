// Lookups in the output-format catalogue (see format_catalog.h).
//
// One scan serves every lookup by code: the rows in walk order, first match
// wins. A location is (family, position in family), so that it names a row
// the same way a family listing does.
#include "formats/format_catalog.h"

FormatLocation FindFormat(int16_t code) {
  int32_t position = 0;
  for (int i = 0; i < kFormatRowCount; ++i) {
    const OutputFormat& row = OutputFormatCatalog[i];
    if (i > 0 && row.family != OutputFormatCatalog[i - 1].family) position = 0;
    if (row.formatCode == code) return FormatLocation{row.family, position};
    ++position;
  }
  return FormatLocation{0, -1};
}

const OutputFormat* FormatAt(FormatLocation location) {
  if (location.family < 1 || location.family > kFormatFamilyCount) return nullptr;
  if (location.position < 0 || location.position >= FamilyRowCount[location.family]) return nullptr;
  int first = 0;
  while (first < kFormatRowCount && OutputFormatCatalog[first].family != location.family) ++first;
  return &OutputFormatCatalog[first + location.position];
}

const OutputFormat* FindFormatRow(int16_t code) { return FormatAt(FindFormat(code)); }
