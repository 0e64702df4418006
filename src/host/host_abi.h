// The binary contract between 4D and a plugin library, written from the
// published facts of 4D's plugin interface (docs/host-abi.md).
//
// This header is shared by the plugin (src/host) and by the development host
// (tools/lqm-host), so both sides agree byte for byte. Every record is packed
// to 2-byte alignment as 4D packs them, and every size and offset that 4D
// relies on is pinned by a static_assert below: a change that moves a field
// fails to compile instead of corrupting memory at run time. Packed members
// can be misaligned (the pointer at offset 4 of a text record): copy them
// with memcpy or through the record, never through a pointer to the member.
//
// Outside src/host and tools/lqm-host nothing includes this file: the rest of
// the plugin speaks only through the Host... operations of host_calls.h.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define LQM_CALLCONV __stdcall  // ignored on x64, kept for the declaration's sake
#else
#define LQM_CALLCONV
#endif

namespace lqm::abi {

// ---------------------------------------------------------------------------
// Entry point selectors and the interface version
// ---------------------------------------------------------------------------

inline constexpr int32_t kSelectorInit = -1;         // single-user and remote 4D
inline constexpr int32_t kSelectorDeinit = -2;
inline constexpr int32_t kSelectorServerInit = -200; // 4D Server's own instance
inline constexpr int32_t kInterfaceVersion = 0x1400; // "written against the v14 API"

// ---------------------------------------------------------------------------
// Callback selectors (the EX_... numbers) and sub-operations
// ---------------------------------------------------------------------------

enum CallbackSelector : int16_t {
  kGetVariable = -19,
  kGetInterprocessVariable = -125,
  kClearVariable = -410,
  kConvertString = -424,          // BLOB sub-operations below
  kGet4DFolder = -427,
  kHandleManager = -434,          // handle sub-operations below
  kGetCommandId = -506,
  kCreateUnistring = -612,
  kSetUnistring = -613,
  kDisposeUnistring = -614,
  kVariableToString = -615,
  kExecuteCommandById = -636,
  kConvertCharsetToCharset = -675,
};

enum ConvertStringOperation : int64_t {
  kBlobMeasureOrCopy = 4,  // fHandle: BLOB handle; fParam3: destination or 0; out fParam4 = size
  kBlobFromBytes = 5,      // fParam3: bytes; fParam4: length; out fHandle = new handle
};

enum HandleOperation : int64_t {
  kHandleNew = 1,
  kHandleDispose = 2,
  kHandleSetSize = 3,
  kHandleGetSize = 4,
  kHandleLock = 5,
  kHandleUnlock = 6,
  kHandleGetState = 7,
  kHandleSetState = 8,
};

// The request tag that asks EX_GET_4D_FOLDER for the language's folder kinds.
inline constexpr int64_t kFolderRequestTag = 0x47344446;  // 'G4DF'

// ---------------------------------------------------------------------------
// Variable kinds and character sets
// ---------------------------------------------------------------------------

enum VariableKind : uint8_t {
  kKindReal = 1,
  kKindLegacyText = 2,
  kKindDate = 4,
  kKindUndefined = 5,
  kKindBoolean = 6,
  kKindInteger = 8,
  kKindLongint = 9,
  kKindPicture = 10,
  kKindTime = 11,
  kKindArray2D = 13,
  kKindRealArray = 14,
  kKindIntegerArray = 15,
  kKindLongintArray = 16,
  kKindDateArray = 17,
  kKindLegacyTextArray = 18,
  kKindPictureArray = 19,
  kKindPointerArray = 20,
  kKindStringArray = 21,
  kKindBooleanArray = 22,
  kKindPointer = 23,
  kKindFixedString = 24,
  kKindBlob = 30,
  kKindBlobArray = 31,
  kKindTimeArray = 32,
  kKindText = 33,
  kKindTextArray = 34,
  kKindObject = 38,
  kKindObjectArray = 39,
  kKindCollection = 42,
  kKindNone = 255,  // "no variable": what a failed look-up by name hands back
};

enum Charset : int64_t {
  kCharsetUtf16 = 2,    // UTF-16 little-endian, 4D's own text
  kCharsetUtf8 = 7,
  kCharsetMacRoman = 100,  // the single-byte legacy charset of resource texts
};

// ---------------------------------------------------------------------------
// Records (2-byte packing, as 4D lays them out)
// ---------------------------------------------------------------------------

#pragma pack(push, 2)

// A 4D text: units are UTF-16, NUL-terminated, `length` excludes the NUL.
struct TextRecord {
  int32_t length;
  char16_t* units;
  int32_t reserved1;
  int32_t reserved2;
};

// The array part of a variable: `elements` is a handle to count + 1 elements
// (element 0 first).
struct ArrayRecord {
  int32_t count;
  char** elements;
  int16_t current;
};

struct BlobRecord {
  int32_t size;
  char** handle;
};

// A 4D variable as passed by reference (&Y) and used for command arguments.
struct VariableRecord {
  uint8_t kind;
  uint8_t filler;  // 0 for plain values; 1 marks the special argument forms
  union {
    double real;
    int16_t date[3];
    uint8_t boolean;
    int32_t longint;  // also time
    void* pointer;
    BlobRecord blob;
    TextRecord text;
    ArrayRecord array;
    uint8_t raw[258];
  } value;
};

// What `parameters` points at on selectors -1 and -200.
struct InitBlock {
  int32_t hostVersion;
  int32_t length;
  int32_t cpuType;
  void* legacyCallback;
  int32_t supportedVersion;  // the plugin writes kInterfaceVersion here
  void* callback;            // the plugin keeps this for every host operation
};

// The block every callback reads its inputs from and writes its outputs to.
struct EngineBlock {
  char16_t uName[256];
  char16_t uString[256];
  TextRecord uniString1;
  TextRecord uniString2;
  void* picture;
  void* ptr1;
  void* ptr2;
  void* ptr3;
  int16_t table;
  int16_t field;
  int32_t record;
  char manyToOne;
  char oneToMany;
  char name[256];
  void* handle;
  int16_t error;
  int64_t param1;
  int64_t param2;
  int64_t param3;
  int64_t param4;
  double realValue;
  int16_t filler;
  int16_t date[3];
  int32_t longint;
  int16_t shortValue;
  char string[82];
  int16_t textSize;
  void* textHandle;
  char clearOldVariable;
  char nativeReal;
  int16_t searchLines;
};

#pragma pack(pop)

using HostCallbackFunction = void(LQM_CALLCONV*)(int16_t selector, EngineBlock* block);
using EntryPointFunction = void(LQM_CALLCONV*)(int32_t selector, void* parameters, void* data,
                                               void* result);

// Array element sizes inside the elements handle.
inline constexpr size_t kRealElementSize = 8;
inline constexpr size_t kIntegerElementSize = 2;
inline constexpr size_t kLongintElementSize = 4;
inline constexpr size_t kTextElementSize = sizeof(TextRecord);

// ---------------------------------------------------------------------------
// Pinned sizes and offsets: these are 4D's, not ours to change.
// ---------------------------------------------------------------------------

static_assert(sizeof(void*) == 8, "the 4D plugin interface is 64-bit only");
static_assert(sizeof(TextRecord) == 20);
static_assert(offsetof(TextRecord, units) == 4);
static_assert(sizeof(ArrayRecord) == 14);
static_assert(offsetof(ArrayRecord, elements) == 4);
static_assert(offsetof(ArrayRecord, current) == 12);
static_assert(sizeof(VariableRecord) == 260);
static_assert(offsetof(VariableRecord, value) == 2);
static_assert(offsetof(VariableRecord, value.blob.handle) == 6);
static_assert(offsetof(VariableRecord, value.text.units) == 6);
static_assert(offsetof(VariableRecord, value.array.elements) == 6);
static_assert(offsetof(VariableRecord, value.array.current) == 14);
static_assert(sizeof(InitBlock) == 32);
static_assert(offsetof(InitBlock, legacyCallback) == 12);
static_assert(offsetof(InitBlock, supportedVersion) == 20);
static_assert(offsetof(InitBlock, callback) == 24);
static_assert(sizeof(EngineBlock) == 1522);
static_assert(offsetof(EngineBlock, uString) == 512);
static_assert(offsetof(EngineBlock, uniString1) == 1024);
static_assert(offsetof(EngineBlock, uniString2) == 1044);
static_assert(offsetof(EngineBlock, picture) == 1064);
static_assert(offsetof(EngineBlock, ptr1) == 1072);
static_assert(offsetof(EngineBlock, ptr2) == 1080);
static_assert(offsetof(EngineBlock, ptr3) == 1088);
static_assert(offsetof(EngineBlock, table) == 1096);
static_assert(offsetof(EngineBlock, record) == 1100);
static_assert(offsetof(EngineBlock, name) == 1106);
static_assert(offsetof(EngineBlock, handle) == 1362);
static_assert(offsetof(EngineBlock, error) == 1370);
static_assert(offsetof(EngineBlock, param1) == 1372);
static_assert(offsetof(EngineBlock, param2) == 1380);
static_assert(offsetof(EngineBlock, param3) == 1388);
static_assert(offsetof(EngineBlock, param4) == 1396);
static_assert(offsetof(EngineBlock, realValue) == 1404);
static_assert(offsetof(EngineBlock, date) == 1414);
static_assert(offsetof(EngineBlock, longint) == 1420);
static_assert(offsetof(EngineBlock, shortValue) == 1424);
static_assert(offsetof(EngineBlock, string) == 1426);
static_assert(offsetof(EngineBlock, textSize) == 1508);
static_assert(offsetof(EngineBlock, textHandle) == 1510);
static_assert(offsetof(EngineBlock, clearOldVariable) == 1518);
static_assert(offsetof(EngineBlock, searchLines) == 1520);

}  // namespace lqm::abi
