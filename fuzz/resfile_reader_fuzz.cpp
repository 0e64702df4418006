// Fuzz target: the resource file reader on hostile bytes.
//
// The input is the file. The reader must not crash and must answer all or
// nothing: on failure no resources and a fault, on success no fault and a
// set whose data is bounded by the file (data blocks may not overlap, so
// their bytes together fit in it; a name is at most 255 bytes and each
// reference takes 12 bytes of the map). An accepted set is written back out
// and read again, and must come back the same: the writer and the reader
// agree on every file the reader takes.
#include "fuzz_target.h"

#include <algorithm>

#include "resfile/resfile.h"

namespace resfile_reader_fuzz {

bool SameResources(const std::vector<resfile::Resource>& a, const std::vector<resfile::Resource>& b) {
  if (a.size() != b.size()) return false;
  for (size_t index = 0; index < a.size(); ++index) {
    const resfile::Resource& x = a[index];
    const resfile::Resource& y = b[index];
    if (x.type != y.type || x.id != y.id || x.hasName != y.hasName || x.name != y.name ||
        x.attributes != y.attributes || x.data != y.data)
      return false;
  }
  return true;
}

int FuzzResfileReader(const uint8_t* data, size_t size) {
  std::vector<resfile::Resource> resources;
  resfile::ResourceError error;
  const bool ok = resfile::ReadResourceFile(data, size, &resources, &error);
  if (!ok) {
    LQM_FUZZ_CHECK(resources.empty());
    LQM_FUZZ_CHECK(error.fault != resfile::ResourceFault::kNone);
    return 0;
  }
  LQM_FUZZ_CHECK(error.fault == resfile::ResourceFault::kNone);
  size_t dataBytes = 0, nameBytes = 0;
  for (const resfile::Resource& resource : resources) {
    dataBytes += resource.data.size();
    nameBytes += resource.name.size();
    LQM_FUZZ_CHECK(resource.name.size() <= 255);
    LQM_FUZZ_CHECK(resource.hasName || resource.name.empty());
  }
  LQM_FUZZ_CHECK(dataBytes <= size);
  LQM_FUZZ_CHECK(resources.size() * 12 <= size);
  LQM_FUZZ_CHECK(nameBytes <= resources.size() * 255);

  // The writer sorts by type and id; the reader keeps the file's order.
  std::vector<uint8_t> rewritten;
  resfile::ResourceError writeError;
  if (!resfile::WriteResourceFile(resources, &rewritten, &writeError)) {
    // Only sizes the writer's layout cannot address may be refused.
    LQM_FUZZ_CHECK(writeError.fault == resfile::ResourceFault::kTooLarge);
    return 0;
  }
  std::vector<resfile::Resource> reread;
  LQM_FUZZ_CHECK(resfile::ReadResourceFile(rewritten, &reread, &error));
  std::vector<resfile::Resource> expected = resources;
  auto byTypeAndId = [](const resfile::Resource& a, const resfile::Resource& b) {
    return a.type != b.type ? a.type < b.type : a.id < b.id;
  };
  std::sort(expected.begin(), expected.end(), byTypeAndId);
  std::sort(reread.begin(), reread.end(), byTypeAndId);
  LQM_FUZZ_CHECK(SameResources(expected, reread));
  return 0;
}

}  // namespace resfile_reader_fuzz

LQM_FUZZ_ENTRY(resfile_reader_fuzz::FuzzResfileReader)
