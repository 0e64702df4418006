// lqm-rescomp: the resource compiler's command line. Everything but sealing
// is in lqm_resfile (rescomp_command.h), where the tests call it directly.
#include <iostream>
#include <string>
#include <vector>

#include "rescomp/seal_envelope.h"
#include "resfile/rescomp_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  resfile::CompileOptions options;
  options.seal = resfile::SealWithEnvelope;
  return resfile::RunResourceCompiler(arguments, std::cout, std::cerr, options);
}
