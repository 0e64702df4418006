// Values <-> variable records, and clearing records (host_records.h).
#include "host_records.h"

#include <cstring>

namespace lqm::host {

using abi::VariableRecord;

namespace {
constexpr uint32_t kTokenMagic = 0x564D514C;  // "LQMV"
constexpr size_t kTokenOffset = sizeof(VariableRecord::value) - 8;
}  // namespace

bool IsTextKind(uint8_t kind) {
  return kind == abi::kKindText || kind == abi::kKindLegacyText || kind == abi::kKindFixedString ||
         kind == 0;
}

bool IsTextArrayKind(uint8_t kind) {
  return kind == abi::kKindTextArray || kind == abi::kKindLegacyTextArray ||
         kind == abi::kKindStringArray;
}

size_t ArrayElementSize(uint8_t kind) {
  switch (kind) {
    case abi::kKindRealArray: return abi::kRealElementSize;
    case abi::kKindIntegerArray: return abi::kIntegerElementSize;
    case abi::kKindLongintArray:
    case abi::kKindTimeArray: return abi::kLongintElementSize;
    default: return IsTextArrayKind(kind) ? abi::kTextElementSize : 0;
  }
}

void StampToken(VariableRecord& record, uint64_t token) {
  uint32_t words[2] = {kTokenMagic, uint32_t(token)};
  std::memcpy(record.value.raw + kTokenOffset, words, sizeof words);
}

uint64_t TokenOf(const VariableRecord& record) {
  uint32_t words[2];
  std::memcpy(words, record.value.raw + kTokenOffset, sizeof words);
  return words[0] == kTokenMagic ? words[1] : 0;
}

// ---------------------------------------------------------------------------
// Storing
// ---------------------------------------------------------------------------

namespace {

template <typename Element>
char** StoreElements(HostMemory& memory, const std::vector<Element>& elements, Owner owner) {
  int16_t error = 0;
  return memory.NewHandleFrom(elements.data(), int64_t(elements.size() * sizeof(Element)), owner,
                              &error);
}

char** StoreTextElements(HostMemory& memory, const std::vector<std::u16string>& elements,
                         Owner owner) {
  std::vector<abi::TextRecord> records(elements.size());
  for (size_t i = 0; i < elements.size(); ++i) {
    char16_t* units = memory.NewText(elements[i].data(), elements[i].size(), owner);
    if (!units) {
      for (size_t k = 0; k < i; ++k) memory.Release(records[k].units);
      return nullptr;
    }
    records[i] = abi::TextRecord{int32_t(elements[i].size()), units, 0, 0};
  }
  char** handle = StoreElements(memory, records, owner);
  if (!handle)
    for (auto& r : records) memory.Release(r.units);
  return handle;
}

}  // namespace

bool StoreValue(HostMemory& memory, const Value& given, VariableRecord& record, Owner owner) {
  const Value& value = given.Held();
  std::memset(&record, 0, sizeof record);
  record.kind = abi::kKindUndefined;
  char** handle = nullptr;
  int16_t error = 0;
  auto storeArray = [&](uint8_t kind, size_t count) {
    if (!handle) return false;
    record.kind = kind;
    record.value.array.count = int32_t(count) - 1;  // element 0 is not counted
    record.value.array.elements = handle;
    record.value.array.current = 0;
    return true;
  };
  switch (value.kind) {
    case ValueKind::kUndefined:
    case ValueKind::kVariable: return true;
    case ValueKind::kLongint:
      record.kind = abi::kKindLongint;
      record.value.longint = int32_t(value.number);
      return true;
    case ValueKind::kTime:
      record.kind = abi::kKindTime;
      record.value.longint = int32_t(value.number);
      return true;
    case ValueKind::kInteger: {
      record.kind = abi::kKindInteger;
      int16_t v = int16_t(value.number);
      std::memcpy(record.value.raw, &v, sizeof v);
      return true;
    }
    case ValueKind::kReal:
      record.kind = abi::kKindReal;
      record.value.real = value.real;
      return true;
    case ValueKind::kBoolean:
      record.kind = abi::kKindBoolean;
      record.value.boolean = value.number ? 1 : 0;
      return true;
    case ValueKind::kText: {
      char16_t* units = memory.NewText(value.text.data(), value.text.size(), owner);
      if (!units) return false;
      record.kind = abi::kKindText;
      record.value.text = abi::TextRecord{int32_t(value.text.size()), units, 0, 0};
      return true;
    }
    case ValueKind::kBlob:
      handle = memory.NewHandleFrom(value.blob.data(), int64_t(value.blob.size()), owner, &error);
      if (!handle) return false;
      record.kind = abi::kKindBlob;
      record.value.blob.size = int32_t(value.blob.size());
      record.value.blob.handle = handle;
      return true;
    case ValueKind::kLongintArray:
      handle = StoreElements(memory, value.longints, owner);
      return storeArray(abi::kKindLongintArray, value.longints.size());
    case ValueKind::kIntegerArray:
      handle = StoreElements(memory, value.integers, owner);
      return storeArray(abi::kKindIntegerArray, value.integers.size());
    case ValueKind::kRealArray:
      handle = StoreElements(memory, value.reals, owner);
      return storeArray(abi::kKindRealArray, value.reals.size());
    case ValueKind::kTextArray:
      handle = StoreTextElements(memory, value.texts, owner);
      return storeArray(abi::kKindTextArray, value.texts.size());
  }
  return false;
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

bool ReadText(const HostMemory& memory, const abi::TextRecord& text, std::u16string& out,
              std::string& error) {
  out.clear();
  if (!text.units) {
    if (text.length != 0) return error = "a text of length " + std::to_string(text.length) +
                                         " has no characters", false;
    return true;
  }
  size_t length;
  if (!memory.TextLength(text.units, &length))
    return error = "a text record points to characters the host did not make (or freed)", false;
  if (text.length < 0 || size_t(text.length) > length)
    return error = "a text record's length " + std::to_string(text.length) +
                   " exceeds its characters (" + std::to_string(length) + ")", false;
  out.assign(text.units, size_t(text.length));
  return true;
}

namespace {

// The element block of an array record, checked against its handle's size.
const char* ArrayElements(const HostMemory& memory, const VariableRecord& record, size_t elementSize,
                          std::string& error) {
  const abi::ArrayRecord& array = record.value.array;
  int64_t size = 0;
  if (array.count < 0) return error = "an array has a negative count", nullptr;
  if (memory.HandleSize(array.elements, &size) != 0)
    return error = "an array's elements handle is not a live host handle", nullptr;
  if (uint64_t(size) < (uint64_t(array.count) + 1) * elementSize)
    return error = "an array of " + std::to_string(array.count) + " elements has a handle of only " +
                   std::to_string(size) + " bytes",
           nullptr;
  return *array.elements;
}

template <typename Element>
void CopyElements(const char* data, int32_t count, std::vector<Element>& out) {
  out.resize(size_t(count) + 1);
  std::memcpy(out.data(), data, out.size() * sizeof(Element));
}

}  // namespace

bool ReadValue(const HostMemory& memory, const VariableRecord& record, Value& out,
               std::string& error) {
  out = Value();
  uint8_t kind = record.kind;
  if (IsTextKind(kind)) {
    out.kind = ValueKind::kText;
    abi::TextRecord text;
    std::memcpy(&text, &record.value.text, sizeof text);
    return ReadText(memory, text, out.text, error);
  }
  switch (kind) {
    case abi::kKindUndefined: out.kind = ValueKind::kUndefined; return true;
    case abi::kKindLongint: out = Value::Longint(record.value.longint); return true;
    case abi::kKindTime: out = Value::Time(record.value.longint); return true;
    case abi::kKindInteger: {
      int16_t v;
      std::memcpy(&v, record.value.raw, sizeof v);
      out = Value::Integer(v);
      return true;
    }
    case abi::kKindReal: out = Value::Real(record.value.real); return true;
    case abi::kKindBoolean: out = Value::Boolean(record.value.boolean != 0); return true;
    case abi::kKindBlob: {
      out.kind = ValueKind::kBlob;
      char** handle = record.value.blob.handle;
      if (!handle) return true;  // a null handle is an empty BLOB
      int64_t size = 0;
      if (memory.HandleSize(handle, &size) != 0)
        return error = "a BLOB variable's handle is not a live host handle", false;
      // The handle's size is the BLOB's size; the record's field only travels along.
      out.blob.assign(*handle, *handle + size);
      return true;
    }
    default: break;
  }
  size_t elementSize = ArrayElementSize(kind);
  if (elementSize == 0 || kind == abi::kKindTimeArray)
    return error = "variable kind " + std::to_string(kind) + " is not one this host models", false;
  const char* data = ArrayElements(memory, record, elementSize, error);
  if (!data) return false;
  int32_t count = record.value.array.count;
  switch (kind) {
    case abi::kKindLongintArray: out.kind = ValueKind::kLongintArray; CopyElements(data, count, out.longints); return true;
    case abi::kKindIntegerArray: out.kind = ValueKind::kIntegerArray; CopyElements(data, count, out.integers); return true;
    case abi::kKindRealArray: out.kind = ValueKind::kRealArray; CopyElements(data, count, out.reals); return true;
    default: break;
  }
  out.kind = ValueKind::kTextArray;
  std::vector<abi::TextRecord> elements;
  CopyElements(data, count, elements);
  out.texts.resize(elements.size());
  for (size_t i = 0; i < elements.size(); ++i)
    if (!ReadText(memory, elements[i], out.texts[i], error))
      return error = "text array element " + std::to_string(i) + ": " + error, false;
  return true;
}

// ---------------------------------------------------------------------------
// Walking and clearing
// ---------------------------------------------------------------------------

namespace {

// Calls `visit` for each registered object the record refers to; a text
// element is visited before its array's handle, which holds it.
template <typename Visit>
void VisitObjects(const HostMemory& memory, const VariableRecord& record, Visit visit) {
  uint8_t kind = record.kind;
  if (IsTextKind(kind)) {
    abi::TextRecord text;
    std::memcpy(&text, &record.value.text, sizeof text);
    if (text.units) visit(static_cast<const void*>(text.units));
    return;
  }
  if (kind == abi::kKindBlob) {
    if (record.value.blob.handle) visit(static_cast<const void*>(record.value.blob.handle));
    return;
  }
  if (ArrayElementSize(kind) == 0) return;
  char** handle = record.value.array.elements;
  int64_t size = 0;
  if (!handle || memory.HandleSize(handle, &size) != 0) {
    if (handle) visit(static_cast<const void*>(handle));  // reported by the visitor
    return;
  }
  if (IsTextArrayKind(kind)) {
    // Only the elements that lie inside the handle: a count larger than the
    // handle would otherwise read past its end.
    int64_t count = record.value.array.count;
    int64_t fit = size / int64_t(abi::kTextElementSize);
    int64_t n = count + 1 < fit ? count + 1 : fit;
    for (int64_t i = 0; i < n; ++i) {
      abi::TextRecord text;
      std::memcpy(&text, *handle + i * abi::kTextElementSize, sizeof text);
      if (text.units) visit(static_cast<const void*>(text.units));
    }
  }
  visit(static_cast<const void*>(handle));
}

}  // namespace

void CollectObjects(const HostMemory& memory, const VariableRecord& record,
                    std::vector<const void*>& out) {
  VisitObjects(memory, record, [&](const void* object) {
    if (memory.SerialOf(object) != 0) out.push_back(object);
  });
}

int16_t ClearRecord(HostMemory& memory, VariableRecord& record) {
  int16_t first = 0;
  VisitObjects(memory, record, [&](const void* object) {
    void* p = const_cast<void*>(object);
    int16_t error;
    if (memory.IsHandle(static_cast<char**>(p)))
      error = memory.DisposeHandle(static_cast<char**>(p));
    else
      error = memory.DisposeText(static_cast<char16_t*>(p));
    if (error != 0 && first == 0) first = error;
  });
  uint8_t filler = record.filler;
  std::memset(&record, 0, sizeof record);
  record.kind = abi::kKindUndefined;
  record.filler = filler;
  return first;
}

}  // namespace lqm::host
