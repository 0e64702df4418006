// The codec commands: 19 LQM_CipherText, 25 LQM_EncodeBase64, 26
// LQM_DecodeBase64, 45 LQM_LZWCodec and 46 LQM_ComputeCRC.
//
// Each handler reads its parameters through src/host, reads a BLOB input in
// place in 4D's handle (a text input is converted into one PluginMalloc
// block), runs a kernel of this folder and sets exactly one result. Every
// failure (a missing or empty input, a host error, exhausted memory, a mode
// out of range) gives the command's empty result: an empty text, an empty
// BLOB or 0. Every block is freed before the handler returns.
// These commands share no plugin state, so they may run on several threads.
#include <cstddef>
#include <cstdint>

#include "codecs/base64.h"
#include "codecs/crc.h"
#include "codecs/envelope.h"
#include "codecs/lzw.h"
#include "frame/handlers.h"
#include "base/plugin_heap.h"
#include "host/host_calls.h"
#include "host/texts.h"

namespace {

// Only the key block's 16 bytes count, so a longer key is cut here; this
// also keeps keys of 32,768 bytes and more inside the envelope's range.
constexpr int64_t kKeyBytesUsed = 16;

// The bytes of BLOB parameter n where 4D holds them, read in place and
// never copied: whole documents pass here, and a copy took as long as a
// codec. Null (and 0) when the BLOB is empty or its size cannot be read.
// Nothing resizes the handle while the command runs, so its bytes stay put.
const unsigned char* BlobParameterBytes(const PluginParameters& params, int n, int64_t* length) {
  *length = 0;
  const HostHandle handle = HostGetBlobHandleParameter(params, n);
  if (handle == nullptr) return nullptr;
  const int64_t size = HostGetHandleSize(handle);
  // A size that reads as negative in 32 bits is no BLOB 4D can hold.
  if (HostGetLastError() != 0 || size <= 0 || static_cast<int32_t>(size) <= 0 || *handle == nullptr) {
    return nullptr;
  }
  *length = size;
  return reinterpret_cast<const unsigned char*>(*handle);
}

// Text parameter n as UTF-8 without terminator in a new block (converted
// once, straight into the block that is returned); null when the text is
// empty or cannot be converted. *failed tells the two apart.
char* CopyTextParameter(const PluginParameters& params, int n, int64_t* length, bool* failed) {
  *length = 0;
  *failed = false;
  const HostText text = HostGetTextParameter(params, n);
  if (text.length == 0) return nullptr;
  char* copy = nullptr;
  const int64_t size =
      text.units != nullptr ? Utf16ToUtf8(text.units, static_cast<int64_t>(text.length) * 2, &copy, false) : 0;
  if (size <= 0 || copy == nullptr) {
    // A text with units that converts to nothing is a failed conversion, not
    // an empty text (a key silently emptied would seal with the wrong key).
    PluginFree(copy);
    *failed = true;
    return nullptr;
  }
  *length = size;
  return copy;
}

void ReturnEmptyBlob(const PluginParameters& params) { HostReturnBlob(params, nullptr, 0); }

void RunBase64Command(const PluginParameters& params, bool encode) {
  int64_t length = 0;
  const unsigned char* input = BlobParameterBytes(params, 1, &length);
  const int64_t capacity = encode ? Base64EncodedLength(length) : Base64DecodedCapacity(length);
  unsigned char* output =
      input != nullptr ? static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(capacity))) : nullptr;
  if (output == nullptr) {
    ReturnEmptyBlob(params);
    return;
  }
  int64_t used = capacity;
  if (encode) {
    Base64EncodeInto(input, length, output);
  } else {
    used = Base64DecodeInto(input, length, output);
  }
  HostReturnBlob(params, used > 0 ? output : nullptr, used);
  PluginFree(output);
}

}  // namespace

void LQM_CipherText(const PluginParameters& params) {
  const bool seal = (HostGetShortParameter(params, 3) & 0xFF) != 0;
  const bool useBase64 = (HostGetShortParameter(params, 4) & 0xFF) != 0;

  int64_t dataLength = 0;
  bool failed = false;
  unsigned char* data = reinterpret_cast<unsigned char*>(CopyTextParameter(params, 1, &dataLength, &failed));
  if (data == nullptr) {
    ReturnUtf8Text(params, "");
    return;
  }
  int64_t keyLength = 0;
  char* key = CopyTextParameter(params, 2, &keyLength, &failed);
  if (failed) {
    PluginFree(data);
    ReturnUtf8Text(params, "");
    return;
  }
  if (keyLength > kKeyBytesUsed) keyLength = kKeyBytesUsed;

  CryptEnvelope(&data, &dataLength, reinterpret_cast<const unsigned char*>(key),
                static_cast<int32_t>(keyLength), seal, useBase64);
  if (data != nullptr && dataLength > 0) {
    ReturnUtf8TextN(params, reinterpret_cast<const char*>(data), dataLength);
  } else {
    ReturnUtf8Text(params, "");
  }
  PluginFree(data);
  PluginFree(key);
}

void LQM_EncodeBase64(const PluginParameters& params) { RunBase64Command(params, true); }

void LQM_DecodeBase64(const PluginParameters& params) { RunBase64Command(params, false); }

void LQM_LZWCodec(const PluginParameters& params) {
  LzwCodecRequest request{};
  request.mode = HostGetShortParameter(params, 1);
  request.clearCodes = HostGetShortParameter(params, 3);
  request.endCode = HostGetShortParameter(params, 4);
  request.pixelsPerRow = HostGetShortParameter(params, 5);
  request.bytesPerPixel = HostGetShortParameter(params, 6);
  request.rootBits = HostGetLongParameter(params, 7);
  request.maxBits = HostGetLongParameter(params, 8);
  if ((request.mode & 0xFF) > 2) {
    ReturnEmptyBlob(params);
    return;
  }
  int64_t length = 0;
  const unsigned char* input = BlobParameterBytes(params, 2, &length);
  if (input == nullptr) {
    ReturnEmptyBlob(params);
    return;
  }
  unsigned char* output = nullptr;
  int64_t outputLength = 0;
  const bool done = RunLzwCodec(request, input, length, &output, &outputLength);
  if (done && output != nullptr && outputLength > 0) {
    HostReturnBlob(params, output, outputLength);
  } else {
    ReturnEmptyBlob(params);
  }
  PluginFree(output);
}

void LQM_ComputeCRC(const PluginParameters& params) {
  unsigned model = HostGetShortParameter(params, 2);
  unsigned engine = HostGetShortParameter(params, 3);
  if (model > 2) model = 2;
  if (engine > 1) engine = 0;
  int64_t length = 0;
  const unsigned char* data = BlobParameterBytes(params, 1, &length);
  if (data == nullptr) {
    HostReturnLong(params, 0);
    return;
  }
  const uint32_t crc = ComputeCrc(data, length, model, engine);
  // CRC-32 values of 0x80000000 and above come back negative, same bits.
  HostReturnLong(params, static_cast<int32_t>(crc));
}
