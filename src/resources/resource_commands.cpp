// The commands that hand out the plugin's own resources: its version and
// information strings (cached), four localized strings, four data blocks and
// one sealed text that is opened with the plugin's key.
//
// Strings are returned whole: none passes through a fixed buffer that could
// cut it (a 255-byte legacy string can take three times as many UTF-8 bytes).
#include <cstdint>

#include "base/plugin_heap.h"
#include "codecs/envelope.h"
#include "host/command_handlers.h"
#include "host/parameters.h"
#include "resources/resource_readers.h"

namespace {

constexpr uint32_t kLocalizedStrings = 20013;
constexpr uint32_t kFirstDataBlock = 20014;
constexpr uint32_t kSealedText = 20601;
constexpr char kSealedTextKey[] = "583914_27";

void ReturnLocalizedString(const PluginParameters& params, int32_t item) {
  char* text = nullptr;
  if (item >= 1 && item <= 4) ReadStringListItem(&text, kLocalizedStrings, item, false);
  ReturnText(params, text ? text : "");
  PluginFree(text);
}

void ReturnDataBlock(const PluginParameters& params, int32_t n) {
  HostHandle block = nullptr;
  if (n >= 1 && n <= 4) block = ReadResourceToHandle("xpdt", kFirstDataBlock + n - 1, 0);
  if (block == nullptr) {
    ReturnBlob(params, nullptr, 0);
    return;
  }
  const int64_t size = HostGetHandleSize(block);
  const void* bytes = HostLockHandle(block);
  ReturnBlob(params, bytes, bytes ? size : 0);
  HostUnlockHandle(block);
  HostDisposeHandle(block);
}

void ReturnSealedText(const PluginParameters& params, uint32_t number, const char* key,
                      int16_t keyLength) {
  char* buffer = nullptr;
  const int64_t size = ReadResourceToBuffer(&buffer, "TEXT", number, 1);
  int64_t length = size - 1;
  if (size > 1) {
    auto* bytes = reinterpret_cast<unsigned char*>(buffer);
    CryptEnvelope(&bytes, &length, reinterpret_cast<const unsigned char*>(key), keyLength, 0, 1);
    buffer = reinterpret_cast<char*>(bytes);
  }
  if (size > 1 && buffer != nullptr)
    ReturnText(params, {buffer, static_cast<size_t>(length)});
  else
    ReturnText(params, "");
  PluginFree(buffer);
}

}  // namespace

void LQM_GetVersion(const PluginParameters& params) {
  ReturnText(params, LoadVersionText(nullptr, 0));
}

void LQM_GetInfoString(const PluginParameters& params) {
  ReturnText(params, LoadInfoString(nullptr, 0));
}

void LQM_GetString1(const PluginParameters& params) { ReturnLocalizedString(params, 1); }
void LQM_GetString2(const PluginParameters& params) { ReturnLocalizedString(params, 2); }
void LQM_GetString3(const PluginParameters& params) { ReturnLocalizedString(params, 3); }
void LQM_GetString4(const PluginParameters& params) { ReturnLocalizedString(params, 4); }

void LQM_GetDataBlob1(const PluginParameters& params) { ReturnDataBlock(params, 1); }
void LQM_GetDataBlob2(const PluginParameters& params) { ReturnDataBlock(params, 2); }
void LQM_GetDataBlob3(const PluginParameters& params) { ReturnDataBlock(params, 3); }
void LQM_GetDataBlob4(const PluginParameters& params) { ReturnDataBlock(params, 4); }

void LQM_GetSealedText(const PluginParameters& params) {
  ReturnSealedText(params, kSealedText, kSealedTextKey, sizeof kSealedTextKey - 1);
}
