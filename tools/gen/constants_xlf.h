// constants.xlf from the constants table (src/host/constants.def): the file
// in the bundle's Resources folder from which 4D lists a plugin's named
// constants, by theme, in the method editor.
//
// The format is 4D's XLIFF 1.0 dialect: per theme, a group "themes" holding
// one unit that names the theme and gives it a group id, followed by an
// "x-4DK#" group carrying that id with one unit per constant, whose d4:value
// is "VALUE:TYPE". Unit ids are numbered through the whole file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lqm::gen {

struct ConstantRow {
  std::string_view theme;
  std::string_view name;
  int32_t value;
  char type;
};

// Themes come out in the order of their first row. Throws
// std::invalid_argument on an empty or repeated name, or an empty theme.
std::string ConstantsXlf(const std::vector<ConstantRow>& rows);

// Text made safe for XML content and double-quoted attributes.
std::string XmlEscape(std::string_view text);

}  // namespace lqm::gen
