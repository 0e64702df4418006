// The bundle's manifest.json, built from a command table: the declarations
// 4D reads to number and type the plugin's commands.
//
// 4D numbers a plugin's commands by their position in the manifest, so every
// routine number from 1 to the highest has an entry; numbers without a row
// get inert placeholder entries. Every text goes through the JSON library, so
// a quote, a backslash or a control character in a name or theme comes out
// escaped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/command_table.h"

namespace lqm::gen {

struct ManifestHeader {
  std::string_view name;
  int32_t id;
  std::string_view version;
};

// `rows` in any order; routine numbers 1..highestRoutine get one entry each.
// Throws nlohmann::json::type_error when a text is not UTF-8.
std::string ManifestJson(const ManifestHeader& header, const std::vector<CommandInfo>& rows,
                         int32_t highestRoutine);

// 4D's syntax string of a row: "NAME(&L;&T):T".
std::string ManifestSyntax(const CommandInfo& row);

}  // namespace lqm::gen
