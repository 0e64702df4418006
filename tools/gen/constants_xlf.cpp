// constants.xlf from the constants table (constants_xlf.h). The XML is
// written by hand: it has a fixed shape, and every text from the table goes
// through XmlEscape, so no name or theme can break the document.
#include "constants_xlf.h"

#include <set>
#include <stdexcept>

namespace lqm::gen {

std::string XmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ConstantsXlf(const std::vector<ConstantRow>& rows) {
  std::vector<std::string_view> themes;
  std::set<std::string_view> names;
  for (const ConstantRow& row : rows) {
    if (row.theme.empty() || row.name.empty()) throw std::invalid_argument("a constant without a name or theme");
    if (!names.insert(row.name).second) throw std::invalid_argument("constant named twice: " + std::string(row.name));
    bool known = false;
    for (std::string_view theme : themes) known = known || theme == row.theme;
    if (!known) themes.push_back(row.theme);
  }

  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xliff version=\"1.0\" xmlns:d4=\"http://www.4d.com/d4-ns\">\n"
      " <file datatype=\"x-STR#\" original=\"undefined\" source-language=\"en\" target-language=\"en\">\n"
      "  <body>\n";
  int unitId = 0;
  int constantId = 0;
  for (size_t t = 0; t < themes.size(); ++t) {
    const std::string group = "thm" + std::to_string(t + 1);
    out += "   <group resname=\"themes\">\n";
    out += "    <trans-unit id=\"" + std::to_string(++unitId) + "\" resname=\"" + group + "\"><source>" +
           XmlEscape(themes[t]) + "</source></trans-unit>\n";
    out += "   </group>\n";
    out += "   <group restype=\"x-4DK#\" d4:groupName=\"" + group + "\">\n";
    for (const ConstantRow& row : rows) {
      if (row.theme != themes[t]) continue;
      out += "    <trans-unit id=\"" + std::to_string(++unitId) + "\" resname=\"k" + std::to_string(++constantId) +
             "\" d4:value=\"" + std::to_string(row.value) + ":" + XmlEscape(std::string(1, row.type)) +
             "\"><source>" + XmlEscape(row.name) + "</source></trans-unit>\n";
    }
    out += "   </group>\n";
  }
  return out + "  </body>\n </file>\n</xliff>\n";
}

}  // namespace lqm::gen
