// Parameter readers and result writers (see parameters.h).
#include "host/parameters.h"

#include "host/texts.h"

HeapText TextParameter(const PluginParameters& params, int n, bool* failed) {
  if (failed != nullptr) *failed = false;
  const HostText text = HostGetTextParameter(params, n);
  if (text.length == 0) return {};
  char* converted = nullptr;
  const int64_t size =
      text.units != nullptr ? Utf16ToUtf8Text(text.units, static_cast<int64_t>(text.length) * 2, &converted) : 0;
  if (size <= 0 || converted == nullptr) {
    PluginFree(converted);
    if (failed != nullptr) *failed = true;
    return {};
  }
  return HeapText(converted, static_cast<size_t>(size));
}

BlobBytes BlobParameter(const PluginParameters& params, int n) {
  const HostHandle handle = HostGetBlobHandleParameter(params, n);
  if (handle == nullptr) return {};
  const int64_t size = HostGetHandleSize(handle);
  // A size that reads as negative in 32 bits is no BLOB 4D can hold.
  if (HostGetLastError() != 0 || size <= 0 || static_cast<int32_t>(size) <= 0 || *handle == nullptr) return {};
  return {reinterpret_cast<const unsigned char*>(*handle), size};
}

void ReturnText(const PluginParameters& params, std::string_view utf8) {
  char* utf16 = nullptr;
  Utf8ToUtf16(utf8.data(), static_cast<int64_t>(utf8.size()), &utf16, true);
  HostReturnText(params, utf16 ? reinterpret_cast<const char16_t*>(utf16) : u"");
  PluginFree(utf16);
}

void ReturnBlob(const PluginParameters& params, const void* bytes, int64_t length) {
  HostReturnBlob(params, length > 0 ? bytes : nullptr, length > 0 ? length : 0);
}

void SetTextElement(HostVariable& array, int32_t index, std::string_view utf8) {
  const HostText text = NewHostTextFromUtf8(utf8);
  if (text.units == nullptr) return;
  HostSetTextArrayElement(array, index, text);
}
