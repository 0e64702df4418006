// The codec commands: 19 LQM_CipherText, 25 LQM_EncodeBase64, 26
// LQM_DecodeBase64, 45 LQM_LZWCodec and 46 LQM_ComputeCRC.
//
// Each handler reads its parameters through host/parameters.h, reads a BLOB
// input in place in 4D's handle (a text input is converted once, into the
// block the envelope then works in), runs a kernel of this folder and sets
// exactly one result. Every
// failure (a missing or empty input, a host error, exhausted memory, a mode
// out of range) gives the command's empty result: an empty text, an empty
// BLOB or 0. Every block is freed before the handler returns.
// These commands share no plugin state, so they may run on several threads.
#include <cstddef>
#include <cstdint>

#include "base/plugin_heap.h"
#include "codecs/base64.h"
#include "codecs/crc.h"
#include "codecs/envelope.h"
#include "codecs/lzw.h"
#include "host/command_handlers.h"
#include "host/constants.h"
#include "host/parameters.h"

namespace {

// The named constants 4D code passes (host/constants.def) must mean here
// what their names say; a row that drifts from the kernels stops the build.
static_assert(lqm::kCrc16CcittModel == kCrcModelCcittFalse && lqm::kCrc16ArcModel == kCrcModelArc &&
                  lqm::kCrc32Model == kCrcModelIsoHdlc,
              "CRC model constants");
static_assert(lqm::kCrcBitwiseEngine == kCrcEngineBitwise && lqm::kCrcTableEngine == kCrcEngineTable,
              "CRC engine constants");
static_assert(lqm::kLzwExpand == kLzwModeExpand && lqm::kLzwCompress == kLzwModeCompress &&
                  lqm::kLzwPredictorCompress == kLzwModePredictor,
              "LZW mode constants");
constexpr bool LzwOptionMeans(int32_t value, bool on, bool written) {
  return value >= 0 && value <= 0xFFFF && LzwCodeOn(static_cast<uint16_t>(value)) == on &&
         (!on || LzwCodeWritten(static_cast<uint16_t>(value)) == written);
}
static_assert(LzwOptionMeans(lqm::kLzwClearCodesOff, false, false) &&
                  LzwOptionMeans(lqm::kLzwClearCodesOn, true, false) &&
                  LzwOptionMeans(lqm::kLzwClearCodesWritten, true, true),
              "LZW clear-code constants");
static_assert(LzwOptionMeans(lqm::kLzwEndCodeOff, false, false) && LzwOptionMeans(lqm::kLzwEndCodeOn, true, false) &&
                  LzwOptionMeans(lqm::kLzwEndCodeWritten, true, true),
              "LZW end-code constants");
// LQM_CipherText reads its flags' low byte: 0 opens (no Base64), anything else seals (Base64).
static_assert(lqm::kCipherOpen == 0 && lqm::kCipherRaw == 0 && (lqm::kCipherSeal & 0xFF) != 0 &&
                  (lqm::kCipherBase64 & 0xFF) != 0 && lqm::kCipherSeal <= 0x7FFF && lqm::kCipherBase64 <= 0x7FFF,
              "LQM_CipherText flag constants");

// Only the key block's 16 bytes count, so a longer key is cut here; this
// also keeps keys of 32,768 bytes and more inside the envelope's range.
constexpr int64_t kKeyBytesUsed = 16;

void RunBase64Command(const PluginParameters& params, bool encode) {
  const BlobBytes input = BlobParameter(params, 1);
  const int64_t capacity = encode ? Base64EncodedLength(input.size) : Base64DecodedCapacity(input.size);
  unsigned char* output =
      input.data != nullptr ? static_cast<unsigned char*>(PluginMalloc(static_cast<size_t>(capacity))) : nullptr;
  if (output == nullptr) {
    ReturnBlob(params, nullptr, 0);
    return;
  }
  int64_t used = capacity;
  if (encode) {
    Base64EncodeInto(input.data, input.size, output);
  } else {
    used = Base64DecodeInto(input.data, input.size, output);
  }
  ReturnBlob(params, output, used);
  PluginFree(output);
}

}  // namespace

void LQM_CipherText(const PluginParameters& params) {
  const bool seal = LowByteParameter(params, 3) != lqm::kCipherOpen;
  const bool useBase64 = LowByteParameter(params, 4) != lqm::kCipherRaw;
  HeapText data = TextParameter(params, 1);
  if (data.empty()) {
    ReturnText(params, "");
    return;
  }
  bool keyFailed = false;
  const HeapText key = TextParameter(params, 2, &keyFailed);
  if (keyFailed) {
    ReturnText(params, "");
    return;
  }
  const int64_t keyLength = key.size() > kKeyBytesUsed ? kKeyBytesUsed : static_cast<int64_t>(key.size());
  // The envelope works in the text's own block and may reallocate it.
  int64_t dataLength = static_cast<int64_t>(data.size());
  auto* bytes = reinterpret_cast<unsigned char*>(data.release());
  CryptEnvelope(&bytes, &dataLength, reinterpret_cast<const unsigned char*>(key.data()),
                static_cast<int32_t>(keyLength), seal, useBase64);
  ReturnText(params, bytes != nullptr && dataLength > 0
                         ? std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(dataLength))
                         : std::string_view());
  PluginFree(bytes);
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
  const BlobBytes input = LowByteParameter(params, 1) <= kLzwModePredictor ? BlobParameter(params, 2) : BlobBytes{};
  if (input.data == nullptr) {
    ReturnBlob(params, nullptr, 0);
    return;
  }
  unsigned char* output = nullptr;
  int64_t outputLength = 0;
  const bool done = RunLzwCodec(request, input.data, input.size, &output, &outputLength);
  ReturnBlob(params, done ? output : nullptr, done ? outputLength : 0);
  PluginFree(output);
}

void LQM_ComputeCRC(const PluginParameters& params) {
  unsigned model = HostGetShortParameter(params, 2);
  unsigned engine = HostGetShortParameter(params, 3);
  if (model > kCrcModelIsoHdlc) model = kCrcModelIsoHdlc;
  if (engine > kCrcEngineTable) engine = kCrcEngineBitwise;
  const BlobBytes data = BlobParameter(params, 1);
  // CRC-32 values of 0x80000000 and above come back negative, same bits.
  HostReturnLong(params, data.data != nullptr ? static_cast<int32_t>(ComputeCrc(data.data, data.size, model, engine)) : 0);
}
