// The lqm-rescomp command line, as a function so that the tests run it in
// both builds; tools/rescomp/main.cpp only adds sealing.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "resfile/resource_source.h"

namespace resfile {

// Arguments after the program name:
//   build SOURCE -o OUTPUT | list FILE | dump FILE [TYPE ID]
// Results go to `out`, faults to `err`. Returns the exit code: 0 success,
// 1 bad source or damaged file, 2 wrong usage or unreadable/unwritable file.
// `build` writes OUTPUT through a temporary file renamed only on success.
int RunResourceCompiler(const std::vector<std::string>& arguments, std::ostream& out,
                        std::ostream& err, const CompileOptions& options);

}  // namespace resfile
