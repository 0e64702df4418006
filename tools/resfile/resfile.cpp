// Reading and writing classic resource files; the layout and the reader's
// guarantees are in resfile.h.
//
// The reader works in two passes. The first walks the map and records each
// reference as a small Entry, checking every offset against the bytes present
// and every list against the others; nothing is copied yet. Only when the
// whole map has passed does the second pass copy names and data, so a fault
// found anywhere leaves no partial result. Checks that compare many items
// with each other (duplicates, overlaps) sort first, so a map with tens of
// thousands of entries costs n log n, not n squared.
#include "resfile/resfile.h"

#include <algorithm>
#include <utility>

#include "resfile/big_endian.h"
#include "resfile/mac_roman.h"

namespace resfile {

namespace {

constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kMapFixedSize = 28;  // header copy, handle, file ref, attrs, two offsets
constexpr uint32_t kTypeEntrySize = 8;
constexpr uint32_t kReferenceEntrySize = 12;
constexpr uint16_t kNoName = 0xFFFF;

bool Fail(ResourceError* error, ResourceFault fault, const std::string& message) {
  error->fault = fault;
  error->message = message;
  return false;
}

std::string Number(uint64_t value) { return std::to_string(value); }

std::string Describe(const TypeCode& type, int16_t id) {
  return "resource " + DescribeTypeCode(type) + " " + std::to_string(id);
}

// One reference as found in the map, before anything is copied.
struct Entry {
  TypeCode type;
  int16_t id;
  uint16_t nameOffset;
  uint8_t attributes;
  uint32_t dataOffset;  // of the length word, from the data area's start
  uint32_t dataLength;
};

// A byte range of the map claimed by the type list or a reference list.
struct MapRange {
  uint32_t start;
  uint32_t end;
  long typeIndex;  // -1 for the type list itself
};

}  // namespace

TypeCode MakeTypeCode(const char (&text)[5]) {
  return TypeCode{static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1]),
                  static_cast<uint8_t>(text[2]), static_cast<uint8_t>(text[3])};
}

std::string DescribeTypeCode(const TypeCode& type) {
  return QuoteMacRoman(std::string_view(reinterpret_cast<const char*>(type.data()), type.size()));
}

// ===========================================================================
// Reader
// ===========================================================================

bool ReadResourceFile(const uint8_t* bytes, size_t size, std::vector<Resource>* resources,
                      ResourceError* error) {
  resources->clear();
  *error = ResourceError{};
  if (size < kHeaderSize) {
    return Fail(error, ResourceFault::kTruncatedHeader,
                "file is " + Number(size) + " bytes, shorter than the 16-byte header");
  }
  const uint32_t dataOffset = LoadBigEndian32(bytes);
  const uint32_t mapOffset = LoadBigEndian32(bytes + 4);
  const uint32_t dataLength = LoadBigEndian32(bytes + 8);
  const uint32_t mapLength = LoadBigEndian32(bytes + 12);
  const uint64_t dataEnd = uint64_t{dataOffset} + dataLength;
  const uint64_t mapEnd = uint64_t{mapOffset} + mapLength;
  if (dataEnd > size) {
    return Fail(error, ResourceFault::kAreaPastEnd,
                "data area (offset " + Number(dataOffset) + ", length " + Number(dataLength) +
                    ") runs past the end of the " + Number(size) + "-byte file");
  }
  if (mapEnd > size) {
    return Fail(error, ResourceFault::kAreaPastEnd,
                "resource map (offset " + Number(mapOffset) + ", length " + Number(mapLength) +
                    ") runs past the end of the " + Number(size) + "-byte file");
  }
  if ((dataLength > 0 && dataOffset < kHeaderSize) || mapOffset < kHeaderSize) {
    return Fail(error, ResourceFault::kAreasOverlap, "data area or map overlaps the header");
  }
  if (dataLength > 0 && dataOffset < mapEnd && mapOffset < dataEnd) {
    return Fail(error, ResourceFault::kAreasOverlap,
                "data area (" + Number(dataOffset) + ".." + Number(dataEnd) + ") and map (" +
                    Number(mapOffset) + ".." + Number(mapEnd) + ") overlap");
  }
  if (mapLength < kMapFixedSize + 2) {
    return Fail(error, ResourceFault::kMapTooShort,
                "resource map is " + Number(mapLength) + " bytes, too short for its fixed fields");
  }

  const uint8_t* map = bytes + mapOffset;
  const uint8_t* data = bytes + dataOffset;
  const uint32_t typeListOffset = LoadBigEndian16(map + 24);
  const uint32_t nameListOffset = LoadBigEndian16(map + 26);
  if (typeListOffset < kMapFixedSize || typeListOffset + 2 > mapLength) {
    return Fail(error, ResourceFault::kTypeListPastMap,
                "type list offset " + Number(typeListOffset) + " lies outside the " +
                    Number(mapLength) + "-byte map");
  }
  if (nameListOffset > mapLength) {
    return Fail(error, ResourceFault::kNameListPastMap,
                "name list offset " + Number(nameListOffset) + " lies past the end of the " +
                    Number(mapLength) + "-byte map");
  }
  const uint8_t* typeList = map + typeListOffset;
  const int32_t typeCount = LoadBigEndianInt16(typeList) + 1;
  if (typeCount < 0) {
    return Fail(error, ResourceFault::kBadCount,
                "type count " + std::to_string(typeCount) + " is negative");
  }
  const uint64_t typeListEnd = uint64_t{typeListOffset} + 2 + uint64_t{kTypeEntrySize} * typeCount;
  if (typeListEnd > mapLength) {
    return Fail(error, ResourceFault::kTypeListPastMap,
                "type list of " + Number(typeCount) + " types runs past the end of the " +
                    Number(mapLength) + "-byte map");
  }

  // Pass 1a: the type list and the ranges its reference lists occupy.
  std::vector<MapRange> ranges;
  ranges.reserve(static_cast<size_t>(typeCount) + 1);
  ranges.push_back(MapRange{typeListOffset, static_cast<uint32_t>(typeListEnd), -1});
  std::vector<TypeCode> types(static_cast<size_t>(typeCount));
  std::vector<int32_t> counts(static_cast<size_t>(typeCount));
  for (int32_t t = 0; t < typeCount; ++t) {
    const uint8_t* entry = typeList + 2 + kTypeEntrySize * t;
    std::copy(entry, entry + 4, types[t].begin());
    counts[t] = LoadBigEndianInt16(entry + 4) + 1;
    const uint32_t listOffset = typeListOffset + LoadBigEndian16(entry + 6);
    if (counts[t] < 0) {
      return Fail(error, ResourceFault::kBadCount,
                  "type " + DescribeTypeCode(types[t]) + " has a negative resource count " +
                      std::to_string(counts[t]));
    }
    const uint64_t listEnd = uint64_t{listOffset} + uint64_t{kReferenceEntrySize} * counts[t];
    if (listEnd > mapLength) {
      return Fail(error, ResourceFault::kReferenceListPastMap,
                  "reference list of type " + DescribeTypeCode(types[t]) + " (" +
                      Number(counts[t]) + " entries at map offset " + Number(listOffset) +
                      ") runs past the end of the " + Number(mapLength) + "-byte map");
    }
    if (counts[t] > 0) ranges.push_back(MapRange{listOffset, static_cast<uint32_t>(listEnd), t});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const MapRange& a, const MapRange& b) { return a.start < b.start; });
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i].start < ranges[i - 1].end) {
      auto name = [&](const MapRange& r) {
        return r.typeIndex < 0 ? std::string("the type list")
                               : "the reference list of type " + DescribeTypeCode(types[r.typeIndex]);
      };
      return Fail(error, ResourceFault::kListsOverlap,
                  name(ranges[i - 1]) + " and " + name(ranges[i]) + " overlap in the map");
    }
  }
  {
    std::vector<TypeCode> sorted = types;
    std::sort(sorted.begin(), sorted.end());
    auto repeat = std::adjacent_find(sorted.begin(), sorted.end());
    if (repeat != sorted.end()) {
      return Fail(error, ResourceFault::kDuplicateType,
                  "type " + DescribeTypeCode(*repeat) + " appears twice in the type list");
    }
  }

  // Pass 1b: the references. The lists are disjoint and inside the map, so
  // their total is bounded by the map's size.
  std::vector<Entry> entries;
  const uint32_t nameListSize = mapLength - nameListOffset;
  uint64_t nameBytes = 0;
  for (int32_t t = 0; t < typeCount; ++t) {
    const uint8_t* entry = typeList + 2 + kTypeEntrySize * t;
    const uint8_t* list = typeList + LoadBigEndian16(entry + 6);
    for (int32_t r = 0; r < counts[t]; ++r) {
      const uint8_t* reference = list + kReferenceEntrySize * r;
      Entry e{types[t], LoadBigEndianInt16(reference), LoadBigEndian16(reference + 2),
              reference[4], LoadBigEndian24(reference + 5), 0};
      if (uint64_t{e.dataOffset} + 4 > dataLength) {
        return Fail(error, ResourceFault::kDataPastArea,
                    Describe(e.type, e.id) + ": data offset " + Number(e.dataOffset) +
                        " lies past the " + Number(dataLength) + "-byte data area");
      }
      e.dataLength = LoadBigEndian32(data + e.dataOffset);
      if (uint64_t{e.dataOffset} + 4 + e.dataLength > dataLength) {
        return Fail(error, ResourceFault::kDataPastArea,
                    Describe(e.type, e.id) + ": " + Number(e.dataLength) +
                        " bytes of data at offset " + Number(e.dataOffset) +
                        " run past the " + Number(dataLength) + "-byte data area");
      }
      if (e.nameOffset != kNoName) {
        const uint64_t at = uint64_t{nameListOffset} + e.nameOffset;
        if (at >= mapLength || at + 1 + map[at] > mapLength) {
          return Fail(error, ResourceFault::kNamePastMap,
                      Describe(e.type, e.id) + ": name at name list offset " +
                          Number(e.nameOffset) + " runs past the end of the map");
        }
        // Names are copied one per resource; if they claim more bytes than the
        // name list holds, some are shared, and sharing would let a small file
        // ask for many copies.
        nameBytes += 1u + map[at];
        if (nameBytes > nameListSize) {
          return Fail(error, ResourceFault::kNamePastMap,
                      Describe(e.type, e.id) + ": names claim more bytes than the " +
                          Number(nameListSize) + "-byte name list holds (shared names)");
        }
      }
      entries.push_back(e);
    }
  }

  {
    std::vector<const Entry*> order(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) order[i] = &entries[i];
    std::sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) {
      return a->type != b->type ? a->type < b->type : a->id < b->id;
    });
    for (size_t i = 1; i < order.size(); ++i) {
      if (order[i]->type == order[i - 1]->type && order[i]->id == order[i - 1]->id) {
        return Fail(error, ResourceFault::kDuplicateId,
                    Describe(order[i]->type, order[i]->id) + " appears twice");
      }
    }
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return a->dataOffset < b->dataOffset; });
    for (size_t i = 1; i < order.size(); ++i) {
      const Entry* previous = order[i - 1];
      if (order[i]->dataOffset < uint64_t{previous->dataOffset} + 4 + previous->dataLength) {
        return Fail(error, ResourceFault::kDataOverlap,
                    Describe(previous->type, previous->id) + " and " +
                        Describe(order[i]->type, order[i]->id) + " share data bytes");
      }
    }
  }

  // Pass 2: copy. Data blocks are disjoint within the data area and names fit
  // the name list, so this allocates no more than the file holds.
  resources->reserve(entries.size());
  for (const Entry& e : entries) {
    Resource resource;
    resource.type = e.type;
    resource.id = e.id;
    resource.attributes = e.attributes;
    if (e.nameOffset != kNoName) {
      const uint8_t* name = map + nameListOffset + e.nameOffset;
      resource.hasName = true;
      resource.name.assign(reinterpret_cast<const char*>(name + 1), name[0]);
    }
    const uint8_t* block = data + e.dataOffset + 4;
    resource.data.assign(block, block + e.dataLength);
    resources->push_back(std::move(resource));
  }
  return true;
}

bool ReadResourceFile(const std::vector<uint8_t>& bytes, std::vector<Resource>* resources,
                      ResourceError* error) {
  return ReadResourceFile(bytes.data(), bytes.size(), resources, error);
}

// ===========================================================================
// Writer
// ===========================================================================

bool WriteResourceFile(const std::vector<Resource>& resources, std::vector<uint8_t>* bytes,
                       ResourceError* error) {
  bytes->clear();
  *error = ResourceError{};
  std::vector<const Resource*> order(resources.size());
  for (size_t i = 0; i < resources.size(); ++i) order[i] = &resources[i];
  std::stable_sort(order.begin(), order.end(), [](const Resource* a, const Resource* b) {
    return a->type != b->type ? a->type < b->type : a->id < b->id;
  });

  // Types in order, with the number of resources of each.
  std::vector<std::pair<TypeCode, uint32_t>> types;
  for (size_t i = 0; i < order.size(); ++i) {
    const Resource& r = *order[i];
    if (i > 0 && order[i - 1]->type == r.type && order[i - 1]->id == r.id) {
      return Fail(error, ResourceFault::kDuplicateId, Describe(r.type, r.id) + " appears twice");
    }
    if (r.hasName && r.name.size() > 255) {
      return Fail(error, ResourceFault::kNameTooLong,
                  Describe(r.type, r.id) + ": name of " + Number(r.name.size()) +
                      " bytes exceeds 255");
    }
    if (types.empty() || types.back().first != r.type) types.emplace_back(r.type, 0);
    ++types.back().second;
  }
  // The map's 16-bit offsets: name list and every reference list must stay
  // addressable, which caps a file at roughly 2,700 resources.
  const uint64_t typeListSize = 2 + uint64_t{kTypeEntrySize} * types.size();
  const uint64_t nameListOffset =
      kMapFixedSize + typeListSize + uint64_t{kReferenceEntrySize} * order.size();
  if (types.size() > kMaxSigned16 + 1 || nameListOffset > kMaxSigned16) {
    return Fail(error, ResourceFault::kTooLarge,
                Number(order.size()) + " resources of " + Number(types.size()) +
                    " types exceed the map's 16-bit offsets");
  }

  // Data area and name list, in the same pass.
  std::vector<uint8_t> dataArea;
  std::vector<uint8_t> nameList;
  std::vector<uint32_t> dataOffsets(order.size());
  std::vector<uint16_t> nameOffsets(order.size(), kNoName);
  for (size_t i = 0; i < order.size(); ++i) {
    const Resource& r = *order[i];
    if (dataArea.size() > kMaxDataAreaOffset ||
        uint64_t{kWriterDataOffset} + dataArea.size() + 4 + r.data.size() > 0xFFFFFFFFu) {
      return Fail(error, ResourceFault::kTooLarge,
                  Describe(r.type, r.id) + ": data would start past the 16 MiB the format addresses");
    }
    dataOffsets[i] = static_cast<uint32_t>(dataArea.size());
    AppendBigEndian32(dataArea, static_cast<uint32_t>(r.data.size()));
    dataArea.insert(dataArea.end(), r.data.begin(), r.data.end());
    if (r.hasName) {
      if (nameList.size() > kMaxSigned16) {
        return Fail(error, ResourceFault::kTooLarge,
                    Describe(r.type, r.id) + ": name list exceeds its 16-bit offsets");
      }
      nameOffsets[i] = static_cast<uint16_t>(nameList.size());
      nameList.push_back(static_cast<uint8_t>(r.name.size()));
      nameList.insert(nameList.end(), r.name.begin(), r.name.end());
    }
  }

  const uint32_t mapOffset = kWriterDataOffset + static_cast<uint32_t>(dataArea.size());
  const uint32_t mapLength = static_cast<uint32_t>(nameListOffset + nameList.size());
  if (uint64_t{mapOffset} + mapLength > 0xFFFFFFFFu) {
    return Fail(error, ResourceFault::kTooLarge, "resource file would exceed 4 GiB");
  }
  std::vector<uint8_t> out(kWriterDataOffset, 0);
  StoreBigEndian32(&out[0], kWriterDataOffset);
  StoreBigEndian32(&out[4], mapOffset);
  StoreBigEndian32(&out[8], static_cast<uint32_t>(dataArea.size()));
  StoreBigEndian32(&out[12], mapLength);
  out.insert(out.end(), dataArea.begin(), dataArea.end());

  const size_t map = out.size();
  out.resize(map + kMapFixedSize, 0);  // handle, file reference, attributes stay zero
  std::copy(out.begin(), out.begin() + kHeaderSize, out.begin() + map);
  StoreBigEndian16(&out[map + 24], static_cast<uint16_t>(kMapFixedSize));
  StoreBigEndian16(&out[map + 26], static_cast<uint16_t>(nameListOffset));
  // An empty file stores count-1 = -1.
  AppendBigEndian16(out, static_cast<uint16_t>(types.size() - 1));
  uint64_t referenceListOffset = typeListSize;  // from the type list's start
  for (const auto& type : types) {
    out.insert(out.end(), type.first.begin(), type.first.end());
    AppendBigEndian16(out, static_cast<uint16_t>(type.second - 1));
    AppendBigEndian16(out, static_cast<uint16_t>(referenceListOffset));
    referenceListOffset += uint64_t{kReferenceEntrySize} * type.second;
  }
  for (size_t i = 0; i < order.size(); ++i) {
    const Resource& r = *order[i];
    AppendBigEndian16(out, static_cast<uint16_t>(r.id));
    AppendBigEndian16(out, nameOffsets[i]);
    out.push_back(r.attributes);
    out.resize(out.size() + 3);
    StoreBigEndian24(&out[out.size() - 3], dataOffsets[i]);
    AppendBigEndian32(out, 0);
  }
  out.insert(out.end(), nameList.begin(), nameList.end());
  *bytes = std::move(out);
  return true;
}

// ===========================================================================
// Lookup
// ===========================================================================

const Resource* LookupResource(const std::vector<Resource>& resources, const TypeCode& type,
                               int16_t id) {
  for (const Resource& r : resources) {
    if (r.type == type && r.id == id) return &r;
  }
  return nullptr;
}

const Resource* LookupNamedResource(const std::vector<Resource>& resources,
                                    const TypeCode& type, const std::string& name) {
  for (const Resource& r : resources) {
    if (r.type == type && r.hasName && r.name == name) return &r;
  }
  return nullptr;
}

}  // namespace resfile
