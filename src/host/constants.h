// The constants of host/constants.def as compile-time values, in namespace
// lqm (lqm::kCrc32Model ...), so that the plugin checks and uses the very
// numbers 4D code sees by name. Every row is a longint (type 'L'): a row of
// another type would need its own expansion here, so it stops the build.
#pragma once

#include <cstdint>

namespace lqm {

#define LQM_CONSTANT(id, theme, name, value, type) \
  inline constexpr int32_t id = value;             \
  static_assert(type == 'L', "only longint constants are expanded: " name);
#include "host/constants.def"
#undef LQM_CONSTANT

}  // namespace lqm
