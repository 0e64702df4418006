// manifest.json from a command table (manifest.h). The document is built as
// ordered JSON, so that the keys keep the order 4D's own manifests use; the
// layout is this file's: the header keys one per line and each command on a
// line of its own, which keeps the committed diffs of a table change short.
#include "manifest.h"

#include <nlohmann/json.hpp>

namespace lqm::gen {

namespace {

using nlohmann::ordered_json;

// One object on one line: {"key": value, "key": value}.
std::string InlineObject(const ordered_json& object) {
  std::string out = "{";
  bool first = true;
  for (const auto& [key, value] : object.items()) {
    if (!first) out += ", ";
    out += ordered_json(key).dump() + ": " + value.dump();
    first = false;
  }
  return out + "}";
}

// The top level with two-space indentation, arrays holding one inline object
// per line.
std::string Layout(const ordered_json& document) {
  std::string out = "{\n";
  bool firstKey = true;
  for (const auto& [key, value] : document.items()) {
    if (!firstKey) out += ",\n";
    firstKey = false;
    out += "  " + ordered_json(key).dump() + ": ";
    if (!value.is_array()) {
      out += value.dump();
      continue;
    }
    out += "[\n";
    for (size_t i = 0; i < value.size(); ++i) {
      out += "    " + (value[i].is_object() ? InlineObject(value[i]) : value[i].dump());
      out += i + 1 < value.size() ? ",\n" : "\n";
    }
    out += "  ]";
  }
  return out + "\n}\n";
}

}  // namespace

std::string ManifestSyntax(const CommandInfo& row) {
  std::string syntax(row.name);
  if (!row.parameters.empty()) {
    syntax += '(';
    for (size_t i = 0; i < row.parameters.size(); ++i) {
      if (i > 0) syntax += ';';
      syntax += '&';
      syntax += row.parameters[i];
    }
    syntax += ')';
  }
  if (!row.result.empty()) syntax += ":" + std::string(row.result);
  return syntax;
}

std::string ManifestJson(const ManifestHeader& header, const std::vector<CommandInfo>& rows,
                         int32_t highestRoutine) {
  ordered_json commands = ordered_json::array();
  for (int32_t number = 1; number <= highestRoutine; ++number) {
    const CommandInfo* row = nullptr;
    for (const CommandInfo& candidate : rows)
      if (candidate.number == number) row = &candidate;
    ordered_json entry;
    if (row != nullptr) {
      entry["theme"] = std::string(row->theme);
      entry["syntax"] = ManifestSyntax(*row);
      if (row->threadSafe) entry["threadSafe"] = true;
    } else {
      entry["theme"] = "LQM Reserved";
      entry["syntax"] = "LQM_Reserved" + std::to_string(number);
    }
    commands.push_back(std::move(entry));
  }
  ordered_json document;
  document["name"] = std::string(header.name);
  document["id"] = header.id;
  document["version"] = std::string(header.version);
  document["commands"] = std::move(commands);
  return Layout(document);
}

}  // namespace lqm::gen
