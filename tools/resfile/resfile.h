// The classic resource file: reading, writing and looking up resources.
//
// Layout (every integer big-endian; offsets in parentheses are from where):
//
//   header    16 bytes at 0: data offset, map offset, data length, map length
//   data      each resource: 4-byte length, then its bytes
//   map       16 bytes (a copy of the header), 4 + 2 bytes (next-map handle and
//             file reference, zero on disk), 2 bytes map attributes,
//             2 bytes type list offset (map), 2 bytes name list offset (map)
//   type list count-1 (int16), then per type 8 bytes: 4-byte type code,
//             count-1 (int16), reference list offset (type list)
//   ref lists per resource 12 bytes: id (int16), name offset (name list,
//             0xFFFF = no name), attributes (1 byte), data offset (3 bytes,
//             data area), 4 bytes reserved (a handle in memory, zero on disk)
//   name list Pascal strings (1 length byte, then Mac Roman bytes)
//
// The reader takes untrusted bytes. It checks every offset and count against
// the bytes that are really there before it uses it, so the memory it
// allocates is bounded by the file's size: data blocks may not overlap (one
// block listed by many references would otherwise multiply it), reference
// lists may not overlap each other or the type list, and no (type, id) or
// type may appear twice. Any fault gives a ResourceError and no resources.
//
// The writer produces the traditional layout: header at 0, zeros up to 256,
// data at 256, map right after the data; resources sorted by type code and
// then by id, so the same set of resources always gives the same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace resfile {

using TypeCode = std::array<uint8_t, 4>;

// Resource attribute bits (the reference entry's attribute byte).
inline constexpr uint8_t kAttributeSystemHeap = 0x40;
inline constexpr uint8_t kAttributePurgeable = 0x20;
inline constexpr uint8_t kAttributeLocked = 0x10;
inline constexpr uint8_t kAttributeProtected = 0x08;
inline constexpr uint8_t kAttributePreload = 0x04;
inline constexpr uint8_t kAttributeChanged = 0x02;  // only meaningful in memory

// Where the writer puts the data area; the bytes from 16 to here are zero
// (traditionally left for the system's use).
inline constexpr uint32_t kWriterDataOffset = 256;
// Data offsets in reference entries are 24 bits, so no resource may start at
// or past 16 MiB into the data area.
inline constexpr uint32_t kMaxDataAreaOffset = 0xFFFFFF;
// The writer keeps every 16-bit offset and count within the signed range, so
// that readers that take them as int16 (as the format was first described)
// read the same file.
inline constexpr uint32_t kMaxSigned16 = 0x7FFF;

struct Resource {
  TypeCode type{};
  int16_t id = 0;
  bool hasName = false;
  std::string name;  // Mac Roman bytes, at most 255
  uint8_t attributes = 0;
  std::vector<uint8_t> data;
};

// What was wrong with a file, or why a set of resources cannot be written.
// Tests check `fault`; people read `message`, which names the offset or the
// resource concerned.
enum class ResourceFault {
  kNone,
  kTruncatedHeader,      // fewer than 16 bytes
  kAreaPastEnd,          // data area or map runs past the end of the file
  kAreasOverlap,         // header, data area and map share bytes
  kMapTooShort,          // map shorter than its fixed fields
  kTypeListPastMap,      // type list offset or its entries past the map's end
  kNameListPastMap,      // name list offset past the map's end
  kBadCount,             // a negative count other than "none"
  kReferenceListPastMap, // a reference list runs past the map's end
  kListsOverlap,         // reference lists overlap each other or the type list
  kDuplicateType,
  kDuplicateId,
  kDataPastArea,         // a resource's length or offset runs past the data area
  kDataOverlap,          // two resources share data bytes
  kNamePastMap,          // a name's offset or length runs past the map's end
  kNameTooLong,          // writer: name over 255 bytes
  kTooLarge,             // writer: a size exceeds what the format can address
};

struct ResourceError {
  ResourceFault fault = ResourceFault::kNone;
  std::string message;
};

// Parses a resource file. On success fills *resources in the file's order
// (type list order, then reference list order); on failure leaves it empty
// and fills *error.
bool ReadResourceFile(const uint8_t* bytes, size_t size, std::vector<Resource>* resources,
                      ResourceError* error);
bool ReadResourceFile(const std::vector<uint8_t>& bytes, std::vector<Resource>* resources,
                      ResourceError* error);

// Builds the bytes of a resource file. Fails (and clears *bytes) on a
// duplicate (type, id), a name over 255 bytes, or sizes past the format's
// 24-bit data offsets and 16-bit map offsets.
bool WriteResourceFile(const std::vector<Resource>& resources, std::vector<uint8_t>* bytes,
                       ResourceError* error);

// Lookups; null when absent. Names compare as bytes (Mac Roman), exactly.
const Resource* LookupResource(const std::vector<Resource>& resources, const TypeCode& type,
                               int16_t id);
const Resource* LookupNamedResource(const std::vector<Resource>& resources,
                                    const TypeCode& type, const std::string& name);

// "STR#" and the like as a TypeCode; the text must be exactly 4 bytes.
TypeCode MakeTypeCode(const char (&text)[5]);

// A type code for people: 'STR ' in quotes, with bytes outside printable ASCII
// written as \u{..} escapes of their Mac Roman characters' code points.
std::string DescribeTypeCode(const TypeCode& type);

}  // namespace resfile
