// lqm-rescomp: the resource compiler's command line. Everything but sealing
// is in lqm_resfile (resource_source.h), where the tests call it directly.
#include <iostream>
#include <string>
#include <vector>

#include "rescomp/seal_envelope.h"
#include "resfile/resource_source.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  resfile::CompileOptions options;
  options.seal = resfile::SealWithEnvelope;
  return resfile::RunResourceCompiler(arguments, std::cout, std::cerr, options);
}
