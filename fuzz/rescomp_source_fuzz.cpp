// Fuzz target: the resource compiler's source parser on arbitrary text.
//
// The input is the source. Compiling must not crash and must answer all or
// nothing: a failure carries a message and no file; a success gives a file
// that the reader takes back as the same resources, and every resource
// printed back as source (FormatResourceSource) compiles to itself. Bodies
// marked `sealed` go through the envelope, as in lqm-rescomp.
//
// `file "..."` statements read from disk. Paths are taken from an empty
// base folder that does not exist, and inputs naming the kernel's
// pseudo-file trees are skipped: /dev/zero or /proc/kcore would only measure
// the disk, not the parser.
#include "fuzz_target.h"

#include <string_view>

#include "codecs/envelope.h"
#include "resfile/resource_source.h"
#include "resfile/source_printer.h"
#include "rescomp/seal_envelope.h"

namespace rescomp_source_fuzz {

bool SameResource(const resfile::Resource& x, const resfile::Resource& y) {
  return x.type == y.type && x.id == y.id && x.hasName == y.hasName && x.name == y.name &&
         x.attributes == y.attributes && x.data == y.data;
}

int FuzzRescompSource(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char* tree : {"/dev", "/proc", "/sys"})
    if (text.find(tree) != std::string_view::npos) return 0;

  resfile::CompileOptions options;
  options.baseDirectory = "/nonexistent-lqm-fuzz-base";
  options.seal = resfile::SealWithEnvelope;
  const resfile::CompileResult result = resfile::CompileResourceSource(text, "fuzz.r", options);
  if (!result.ok) {
    LQM_FUZZ_CHECK(!result.message.empty());
    LQM_FUZZ_CHECK(result.fileBytes.empty());
    return 0;
  }
  std::vector<resfile::Resource> reread;
  resfile::ResourceError error;
  LQM_FUZZ_CHECK(resfile::ReadResourceFile(result.fileBytes, &reread, &error));
  LQM_FUZZ_CHECK(reread.size() == result.resources.size());

  for (const resfile::Resource& resource : result.resources) {
    const std::string statement = resfile::FormatResourceSource(resource);
    const resfile::CompileResult again = resfile::CompileResourceSource(statement, "again.r", options);
    LQM_FUZZ_CHECK(again.ok);
    LQM_FUZZ_CHECK(again.resources.size() == 1 && SameResource(again.resources[0], resource));
  }
  return 0;
}

}  // namespace rescomp_source_fuzz

LQM_FUZZ_ENTRY(rescomp_source_fuzz::FuzzRescompSource)
