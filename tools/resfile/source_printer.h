// Resources printed back in the resource source language (resource_source.h).
#pragma once

#include <string>
#include <vector>

#include "resfile/resfile.h"

namespace resfile {

// One resource as a source statement (ending in a newline) that compiles back
// to the same resource: strings, string lists and version records in their
// own syntax when the payload parses exactly, "TEXT" as text, the rest as hex.
std::string FormatResourceSource(const Resource& resource);

// One line per resource: type, id, size, attributes, name.
std::string FormatResourceList(const std::vector<Resource>& resources);

}  // namespace resfile
