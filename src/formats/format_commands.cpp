// The commands that report the output-format catalogue to 4D code:
// 10 (extension of a code), 31 (family of a code), 29 (the catalogue, or one
// family, as parallel arrays), 30 (the three family labels) and 40 (localized
// names of a code array).
//
// Array parameters are worked on through copies of the caller's variables
// (HostGetVariableParameter) and handed back without clearing, because copy
// and variable share the array's storage. Before anything is written every
// parameter's kind is checked; a wrong kind changes no array. Element 0 is
// the array's own and is never read or written. Localized names are "STR "
// resources of the plugin's files read on every call; one that is missing
// gives an empty text. Every host text made here ends in an array element
// (HostSetTextArrayElement disposes it when the element does not exist), so a
// call leaves no host object behind.
#include "base/plugin_heap.h"
#include "formats/format_catalog.h"
#include "host/command_handlers.h"
#include "host/constants.h"
#include "host/parameters.h"
#include "resources/resource_readers.h"

namespace {

// The named format and family constants (host/constants.def) against the
// catalogue: each format constant is the code of the row with its extension
// and family (the two TIFF rows told apart by the LZW row's auxiliary code),
// and the "all" family lists every row.
constexpr bool CatalogHas(int32_t code, const char* extension, int32_t family, bool hasAux) {
  for (const OutputFormat& row : OutputFormatCatalog) {
    if (row.formatCode != code) continue;
    for (int i = 0; extension[i] != 0 || row.extension[i] != 0; ++i)
      if (extension[i] != row.extension[i]) return false;
    return row.family == family && (row.auxCode != kNoFormatAux) == hasAux;
  }
  return false;
}
static_assert(CatalogHas(lqm::kPdfFormat, "pdf", lqm::kPdfFamily, false) &&
                  CatalogHas(lqm::kSvgFormat, "svg", lqm::kSvgFamily, false) &&
                  CatalogHas(lqm::kJpegFormat, "jpg", lqm::kBitmapFamily, false) &&
                  CatalogHas(lqm::kTiffFormat, "tif", lqm::kBitmapFamily, false) &&
                  CatalogHas(lqm::kLzwTiffFormat, "tif", lqm::kBitmapFamily, true) &&
                  CatalogHas(lqm::kGifFormat, "gif", lqm::kBitmapFamily, false) &&
                  CatalogHas(lqm::kPngFormat, "png", lqm::kBitmapFamily, false),
              "format and family constants");
static_assert(NormalizeListingMode(lqm::kAllFamilies) == lqm::kAllFamilies &&
                  FamilyRowCount[lqm::kAllFamilies] == kFormatRowCount,
              "the all-families constant lists the whole catalogue");

// "STR " resource of the first family label; labels are this + family.
constexpr uint32_t kFamilyLabelBase = 21280;

// ---------------------------------------------------------------------------
// Array kinds and elements
// ---------------------------------------------------------------------------

bool IsNumberArray(VariableKind kind) {
  return kind == lqm::abi::kKindRealArray || kind == lqm::abi::kKindIntegerArray ||
         kind == lqm::abi::kKindLongintArray;
}

bool IsTextArray(VariableKind kind) { return kind == lqm::abi::kKindTextArray; }

bool IsUndefined(VariableKind kind) { return kind == lqm::abi::kKindUndefined; }

// A catalogue number into a number array, in the array's own element type.
void WriteNumberElement(HostVariable& array, VariableKind kind, int32_t index, int16_t value) {
  switch (kind) {
    case lqm::abi::kKindRealArray: HostSetRealArrayElement(array, index, value); break;
    case lqm::abi::kKindIntegerArray: HostSetIntegerArrayElement(array, index, value); break;
    case lqm::abi::kKindLongintArray: HostSetLongArrayElement(array, index, value); break;
    default: break;
  }
}

int16_t ReadCodeElement(const HostVariable& array, VariableKind kind, int32_t index) {
  switch (kind) {
    case lqm::abi::kKindRealArray: return FormatCodeFromReal(HostGetRealArrayElement(array, index));
    case lqm::abi::kKindIntegerArray: return HostGetIntegerArrayElement(array, index);
    case lqm::abi::kKindLongintArray: return FormatCodeFromLong(HostGetLongArrayElement(array, index));
    default: return 0;
  }
}

// Brings an array to `count` elements. Surviving elements keep their values;
// the host releases dropped texts and hands out added elements zeroed, which
// for a text array is the empty text. A negative or equal count changes
// nothing.
bool ResizeArrayTo(HostVariable& array, int32_t count) {
  if (count < 0 || HostGetArraySize(array) == count) return true;
  return HostResizeArray(array, count);
}

// A localized "STR " text as a heap string the caller frees; null only when
// even the empty text could not be allocated.
char* ReadLocalizedString(uint32_t id) {
  char* text = nullptr;
  if (ReadSingleString(&text, id, true) < 1) {
    PluginFree(text);
    return nullptr;
  }
  return text;
}

void StoreLocalizedString(HostVariable& array, int32_t index, uint32_t id) {
  char* text = ReadLocalizedString(id);
  SetTextElement(array, index, text ? text : "");
  PluginFree(text);
}

// ---------------------------------------------------------------------------
// Command 29's parameters: 2 codes, 3 extensions, 4 names, 5 bit depths,
// 6 option texts, 7 auxiliary codes.
// ---------------------------------------------------------------------------

constexpr int kFirstListingParameter = 2;
constexpr int kListingParameterCount = 6;

struct ListingArrays {
  HostVariable array[kListingParameterCount];
  VariableKind kind[kListingParameterCount];
};

bool ListingKindsAccepted(const ListingArrays& arrays) {
  const VariableKind* kind = arrays.kind;
  return IsNumberArray(kind[0]) && IsTextArray(kind[1]) && IsTextArray(kind[2]) &&
         (IsTextArray(kind[3]) || IsUndefined(kind[3])) &&
         (IsTextArray(kind[4]) || IsUndefined(kind[4])) &&
         (IsNumberArray(kind[5]) || IsUndefined(kind[5]));
}

void WriteListingRow(ListingArrays& arrays, int32_t index, const OutputFormat& row) {
  WriteNumberElement(arrays.array[0], arrays.kind[0], index, row.formatCode);
  SetTextElement(arrays.array[1], index, row.extension);
  StoreLocalizedString(arrays.array[2], index, static_cast<uint16_t>(row.nameStringId));
  if (IsTextArray(arrays.kind[3])) SetTextElement(arrays.array[3], index, row.bitDepth);
  if (IsTextArray(arrays.kind[4])) SetTextElement(arrays.array[4], index, row.optionTags);
  if (IsNumberArray(arrays.kind[5])) WriteNumberElement(arrays.array[5], arrays.kind[5], index, row.auxCode);
}

}  // namespace

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void LQM_GetFormatExtension(const PluginParameters& params) {
  const OutputFormat* row = FindFormatRow(FormatCodeFromLong(HostGetLongParameter(params, 1)));
  ReturnText(params, row ? row->extension : "");
}

void LQM_GetFormatFamily(const PluginParameters& params) {
  HostReturnLong(params, FindFormat(FormatCodeFromLong(HostGetLongParameter(params, 1))).family);
}

void LQM_ListOutputFormats(const PluginParameters& params) {
  const int32_t mode = NormalizeListingMode(HostGetLongParameter(params, 1));
  ListingArrays arrays;
  for (int i = 0; i < kListingParameterCount; ++i) {
    arrays.array[i] = HostGetVariableParameter(params, kFirstListingParameter + i);
    arrays.kind[i] = HostGetVariableKind(arrays.array[i]);
  }

  if (ListingKindsAccepted(arrays)) {
    const int32_t count = FamilyRowCount[mode];
    // Each array is resized from a fresh copy and handed back at once, so an
    // array passed in two places is seen at its new size the second time
    // instead of being shrunk twice from a stale count.
    for (int i = 0; i < kListingParameterCount; ++i) {
      if (IsUndefined(arrays.kind[i])) continue;
      const int n = kFirstListingParameter + i;
      arrays.array[i] = HostGetVariableParameter(params, n);
      ResizeArrayTo(arrays.array[i], count);
      HostSetVariableParameter(params, n, arrays.array[i]);
    }
    int32_t index = 1;
    for (const OutputFormat& row : OutputFormatCatalog) {
      if (mode != 0 && row.family != mode) continue;
      WriteListingRow(arrays, index, row);
      ++index;
    }
  }

  for (int i = 0; i < kListingParameterCount; ++i) {
    // Parameters 2 to 4 always go back; the optional ones only when given.
    if (i >= 3 && IsUndefined(arrays.kind[i])) continue;
    HostSetVariableParameter(params, kFirstListingParameter + i, arrays.array[i]);
  }
}

void LQM_GetFormatLabels(const PluginParameters& params) {
  HostVariable labels = HostGetVariableParameter(params, 1);
  if (IsTextArray(HostGetVariableKind(labels))) {
    ResizeArrayTo(labels, kFormatFamilyCount);
    for (int32_t family = 1; family <= kFormatFamilyCount; ++family)
      StoreLocalizedString(labels, family, kFamilyLabelBase + static_cast<uint32_t>(family));
  }
  HostSetVariableParameter(params, 1, labels);
}

void LQM_GetFormatNames(const PluginParameters& params) {
  HostVariable codes = HostGetVariableParameter(params, 1);
  HostVariable names = HostGetVariableParameter(params, 2);
  const VariableKind codeKind = HostGetVariableKind(codes);
  if (IsNumberArray(codeKind) && IsTextArray(HostGetVariableKind(names))) {
    // A wide count and index: code arrays may hold more than 32767 elements.
    const int32_t count = HostGetArraySize(codes);
    ResizeArrayTo(names, count);
    // Each row's name is read once per call however often its code repeats;
    // a long code array would otherwise run "GET RESOURCE" per element.
    char* nameOfRow[kFormatRowCount] = {};
    for (int32_t index = 1; index <= count; ++index) {
      const int16_t code = ReadCodeElement(codes, codeKind, index);
      if (code == kNoFormatCode) continue;
      const OutputFormat* row = FindFormatRow(code);
      if (row == nullptr) continue;
      char*& name = nameOfRow[row - OutputFormatCatalog];
      if (name == nullptr) name = ReadLocalizedString(static_cast<uint16_t>(row->nameStringId));
      SetTextElement(names, index, name ? name : "");
    }
    for (char* name : nameOfRow) PluginFree(name);
  }
  HostSetVariableParameter(params, 1, codes);
  HostSetVariableParameter(params, 2, names);
}
