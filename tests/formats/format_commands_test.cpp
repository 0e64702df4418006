// Commands 10, 29, 30, 31 and 40 through the entry point, with the plugin in
// the development host: parameters stored as 4D stores them, arrays read back
// after the call, and no host object left behind after any call (the
// fixture checks that on every Call). The rows below are the published
// format codes and extensions; the localized names are the bundle's "STR "
// texts (bundle/resources.txt.in). Arrays of a wrong kind, each optional
// array left undefined alone, are pinned in docs/robustness.md.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace lqm::testing {
namespace {

using host::ValueKind;

const int32_t kGetFormatExtension = lqm::testing::RoutineOf("LQM_GetFormatExtension");
const int32_t kListOutputFormats = lqm::testing::RoutineOf("LQM_ListOutputFormats");
const int32_t kGetFormatLabels = lqm::testing::RoutineOf("LQM_GetFormatLabels");
const int32_t kGetFormatFamily = lqm::testing::RoutineOf("LQM_GetFormatFamily");
const int32_t kGetFormatNames = lqm::testing::RoutineOf("LQM_GetFormatNames");

// The catalogue as 4D code receives it, in listing order.
struct ListedRow {
  int32_t family;
  int16_t code;
  const char* extension;
  const char* name;
  const char* bitDepth;
  const char* options;
  int16_t aux;
};

const ListedRow kRows[] = {
    {1, 1300, "pdf", "PDF document", "",
     "<CT>PDF Vector Format</CT><CTxT>1</CTxT><CPct>1</CPct><CA>2</CA>", -32767},
    {2, 247, "svg", "SVG drawing", "", "", -32767},
    {3, 10, "jpg", "JPEG image", "24", "<CT>YUV 4:4:4</CT><CA>1</CA>", -32767},
    {3, 3, "tif", "TIFF image", "24", "<CT>Uncompressed RGB</CT>", -32767},
    {3, 17, "tif", "TIFF image", "24", "<CT>LZW RGB</CT><CA>110</CA>", 3},
    {3, 2, "gif", "GIF image", "8", "<CT>CompuServe GIF</CT><CIL>1</CIL>", -32767},
    {3, 75, "png", "PNG image", "32", "<CT>PNG Format</CT><CA>1</CA>", -32767},
};

const char* const kFamilyLabels[] = {"PDF", "Vector drawing", "Bitmap image"};

std::vector<const ListedRow*> RowsOfMode(int32_t mode) {
  std::vector<const ListedRow*> rows;
  for (const ListedRow& row : kRows)
    if (mode == 0 || row.family == mode) rows.push_back(&row);
  return rows;
}

// Arrays with element 0 set to a marker the commands must leave alone.
Value Longints(std::vector<int32_t> elements) { return Value::LongintArray(std::move(elements)); }
Value Integers(std::vector<int16_t> elements) { return Value::IntegerArray(std::move(elements)); }
Value Reals(std::vector<double> elements) { return Value::RealArray(std::move(elements)); }
Value Texts(std::vector<std::string> elements) { return TextArray(elements); }
Value FilledTexts(size_t count, const std::string& element0) {
  std::vector<std::string> elements(count + 1, "old");
  elements[0] = element0;
  return TextArray(elements);
}

// A number array of `kind` holding `values` after element 0 = `element0`.
Value NumberArray(ValueKind kind, int32_t element0, const std::vector<int32_t>& values) {
  std::vector<int32_t> all = {element0};
  all.insert(all.end(), values.begin(), values.end());
  switch (kind) {
    case ValueKind::kRealArray: return Reals(std::vector<double>(all.begin(), all.end()));
    case ValueKind::kIntegerArray: {
      std::vector<int16_t> integers;
      for (int32_t v : all) integers.push_back(static_cast<int16_t>(v));
      return Integers(integers);
    }
    default: return Longints(all);
  }
}

Value TextsAfter(const std::string& element0, const std::vector<std::string>& values) {
  std::vector<std::string> all = {element0};
  all.insert(all.end(), values.begin(), values.end());
  return Texts(all);
}

class FormatCommands : public PluginTest {};

TEST_F(FormatCommands, ExtensionAndFamilyOfACode) {
  struct {
    int32_t code;
    const char* extension;
    int32_t family;
  } const cases[] = {
      {1300, "pdf", 1}, {247, "svg", 2}, {10, "jpg", 3}, {3, "tif", 3}, {17, "tif", 3},
      {2, "gif", 3},    {75, "png", 3},  {0, "", 0},     {1, "", 0},    {-1, "", 0},
      {-1000, "", 0},   {65536, "", 0},  {65536 + 1300, "pdf", 1},      {-65536 + 247, "svg", 2},
      {0x7FFF0000 + 75, "png", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(Call(kGetFormatExtension, {Longint(c.code)}).result, Text(c.extension));
    EXPECT_EQ(Call(kGetFormatFamily, {Longint(c.code)}).result, Longint(c.family));
  }
}

struct ListingCase {
  int32_t mode;
  int32_t listedMode;  // the mode the listing follows
  ValueKind codeKind;
  ValueKind auxKind;
  size_t startCount;  // elements in every array before the call
};

TEST_F(FormatCommands, ListsEveryModeIntoAllSevenParameters) {
  const ListingCase cases[] = {
      {0, 0, ValueKind::kLongintArray, ValueKind::kLongintArray, 0},
      {1, 1, ValueKind::kIntegerArray, ValueKind::kRealArray, 3},
      {2, 2, ValueKind::kRealArray, ValueKind::kIntegerArray, 7},
      {3, 3, ValueKind::kLongintArray, ValueKind::kRealArray, 20},
      {-1, 0, ValueKind::kIntegerArray, ValueKind::kIntegerArray, 20},
  };
  for (const ListingCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << ", " << c.startCount << " elements");
    const std::vector<int32_t> numbers(c.startCount, 99);
    const CallOutcome outcome =
        Call(kListOutputFormats,
             {Longint(c.mode), NumberArray(c.codeKind, -5, numbers), FilledTexts(c.startCount, "e0"),
              FilledTexts(c.startCount, "n0"), FilledTexts(c.startCount, "d0"),
              FilledTexts(c.startCount, "o0"), NumberArray(c.auxKind, -7, numbers)});
    ASSERT_EQ(outcome.args.size(), 7u);

    std::vector<int32_t> codes, aux;
    std::vector<std::string> extensions, names, depths, options;
    for (const ListedRow* row : RowsOfMode(c.listedMode)) {
      codes.push_back(row->code);
      aux.push_back(row->aux);
      extensions.push_back(row->extension);
      names.push_back(row->name);
      depths.push_back(row->bitDepth);
      options.push_back(row->options);
    }
    EXPECT_EQ(outcome.args[0], Longint(c.mode));
    EXPECT_EQ(outcome.args[1], NumberArray(c.codeKind, -5, codes));
    EXPECT_EQ(outcome.args[2], TextsAfter("e0", extensions));
    EXPECT_EQ(outcome.args[3], TextsAfter("n0", names));
    EXPECT_EQ(outcome.args[4], TextsAfter("d0", depths));
    EXPECT_EQ(outcome.args[5], TextsAfter("o0", options));
    EXPECT_EQ(outcome.args[6], NumberArray(c.auxKind, -7, aux));
  }
}

// Parameters 5 to 7 omitted or all undefined: the first four are filled and
// nothing is made for the rest. (Each one undefined alone is pinned in
// docs/robustness.md.)
TEST_F(FormatCommands, OptionalParametersMayBeOmittedOrUndefined) {
  for (size_t given : {4u, 7u}) {
    SCOPED_TRACE(given);
    std::vector<Value> args = {Longint(1), Longints({0, 1, 2}), Texts({"", "a"}), Texts({""})};
    args.resize(given, Undefined());
    const CallOutcome outcome = Call(kListOutputFormats, args);
    ASSERT_EQ(outcome.args.size(), 7u);
    EXPECT_EQ(outcome.args[1], Longints({0, 1300}));
    EXPECT_EQ(outcome.args[2], Texts({"", "pdf"}));
    EXPECT_EQ(outcome.args[3], Texts({"", "PDF document"}));
    for (size_t i = 4; i < 7; ++i) EXPECT_EQ(outcome.args[i], Undefined()) << "parameter " << i + 1;
  }
}

TEST_F(FormatCommands, FamilyLabelsFillThreeElements) {
  const std::vector<std::string> labels(std::begin(kFamilyLabels), std::end(kFamilyLabels));
  for (size_t start : {0u, 1u, 3u, 10u}) {
    SCOPED_TRACE(start);
    const CallOutcome outcome = Call(kGetFormatLabels, {FilledTexts(start, "keep")});
    ASSERT_EQ(outcome.args.size(), 1u);
    EXPECT_EQ(outcome.args[0], TextsAfter("keep", labels));
  }
}

TEST_F(FormatCommands, NamesFollowTheirCodes) {
  struct {
    const char* label;
    Value codes;
    Value namesBefore;
    Value namesAfter;
  } const cases[] = {
      {"skipped codes keep the caller's texts", Longints({0, 1300, 0, -1000, 75}),
       Texts({"e0", "a", "b", "c", "d"}), Texts({"e0", "PDF document", "b", "c", "PNG image"})},
      {"an empty names array grows", Longints({0, 1300, 0, -1000, 75}), Texts({"e0"}),
       Texts({"e0", "PDF document", "", "", "PNG image"})},
      {"a longer names array shrinks", Integers({0, 17, 3}), Texts({"e0", "a", "b", "c", "d"}),
       Texts({"e0", "TIFF image", "TIFF image"})},
      {"an empty code array empties the names", Longints({0}), Texts({"e0", "a", "b"}), Texts({"e0"})},
      {"real codes truncate", Reals({0, 1300.9, -1000.0, 247.2, 1e12}), Texts({"e0"}),
       Texts({"e0", "PDF document", "", "SVG drawing", ""})},
      // A real is read as a 32-bit integer first: beyond that range, or not
      // a number, it is code 0, never its low 16 bits.
      {"reals beyond 32 bits", Reals({0, 4294967296.0 + 1300, -4294967296.0 + 75, 131072.0 + 1300.5, -0.99}),
       Texts({"e0"}), Texts({"e0", "", "", "PDF document", ""})},
      {"infinite reals", Reals({0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 75}),
       Texts({"e0"}), Texts({"e0", "", "", "PNG image"})},
      {"only the low 16 bits count", Longints({0, 65536 + 1300, 0x7FFF0000 + 2, -65536 + 10, 65536}),
       Texts({""}), Texts({"", "PDF document", "GIF image", "JPEG image", ""})},
      {"integer codes", Integers({5, 2, 75, -1000, 10, 247}), Texts({"e0", "x"}),
       Texts({"e0", "GIF image", "PNG image", "", "JPEG image", "SVG drawing"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const CallOutcome outcome = Call(kGetFormatNames, {c.codes, c.namesBefore});
    ASSERT_EQ(outcome.args.size(), 2u);
    EXPECT_EQ(outcome.args[0], c.codes);
    EXPECT_EQ(outcome.args[1], c.namesAfter);
  }
  // NaN never equals itself, so only the names are compared: it is code 0.
  const CallOutcome nan =
      Call(kGetFormatNames, {Reals({0, std::numeric_limits<double>::quiet_NaN(), 75}), Texts({""})});
  ASSERT_EQ(nan.args.size(), 2u);
  EXPECT_EQ(nan.args[1], Texts({"", "", "PNG image"}));
}

TEST_F(FormatCommands, NamesCoverCodeArraysBeyond32767Elements) {
  // Past the 16-bit count and index: every element is still reached.
  const int32_t count = 40000;
  std::vector<int32_t> codes = {0};
  std::vector<std::string> names = {""};
  for (int32_t i = 1; i <= count; ++i) {
    const ListedRow& row = kRows[i % 7];
    codes.push_back(i % 11 == 0 ? -1000 : row.code);
    names.push_back(i % 11 == 0 ? "" : row.name);
  }
  const CallOutcome outcome = Call(kGetFormatNames, {Longints(codes), Texts({""})});
  ASSERT_EQ(outcome.args.size(), 2u);
  EXPECT_EQ(outcome.args[1], Texts(names));
}

}  // namespace
}  // namespace lqm::testing
