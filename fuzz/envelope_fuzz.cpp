// Fuzz target: the envelope opened with arbitrary keys and data, and sealed
// then opened again.
//
// Input: byte 0 bit 0 chooses the Base64 form; byte 1 is the key length as
// the command takes it (signed: negative counts as no key, long keys use
// their first 16 bytes), followed by the key's bytes; the rest is the data.
//
// Opening anything must not crash and never gives more bytes than it was
// handed (after the Base64 step). Seal then open with the same key gives the
// plaintext back, with one exception built into the format: the plaintext
// ends at the first "/*pd" marker in the last 16 bytes, so a plaintext that
// itself holds the marker there comes back cut at it. The check then asks
// for a prefix instead of the whole (docs/fuzzing.md).
#include "fuzz_target.h"
#include "heap_blocks.h"

#include <algorithm>

#include "codecs/base64.h"
#include "codecs/envelope.h"
#include "base/plugin_heap.h"

namespace envelope_fuzz {

using lqm_fuzz::HeapCopy;
using lqm_fuzz::TakeBlock;

bool HoldsMarkerNearEnd(const std::vector<uint8_t>& plain) {
  static constexpr uint8_t kMarker[4] = {'/', '*', 'p', 'd'};
  const size_t start = plain.size() > 16 ? plain.size() - 16 : 0;
  return std::search(plain.begin() + start, plain.end(), kMarker, kMarker + 4) != plain.end();
}

int FuzzEnvelope(const uint8_t* data, size_t size) {
  lqm_fuzz::FuzzInput in(data, size);
  const bool useBase64 = in.Byte() & 1;
  const int32_t keyLength = int8_t(in.Byte());
  std::vector<uint8_t> key;
  for (int32_t index = 0; index < keyLength && !in.AtEnd(); ++index) key.push_back(in.Byte());
  const std::vector<uint8_t> payload = in.Rest();
  const int32_t givenKeyLength = keyLength < 0 ? keyLength : int32_t(key.size());

  // Opening hostile bytes.
  unsigned char* block = HeapCopy(payload);
  int64_t length = int64_t(payload.size());
  LQM_FUZZ_CHECK(CryptEnvelope(&block, &length, key.data(), givenKeyLength, false, useBase64));
  const int64_t limit = useBase64 ? 3 * (int64_t(payload.size()) / 4 + 1) : int64_t(payload.size());
  LQM_FUZZ_CHECK(length >= 0 && length <= limit);
  LQM_FUZZ_CHECK((block == nullptr) == (length == 0));
  PluginFree(block);

  // Seal, then open.
  block = HeapCopy(payload);
  length = int64_t(payload.size());
  LQM_FUZZ_CHECK(CryptEnvelope(&block, &length, key.data(), givenKeyLength, true, useBase64));
  const int64_t sealedLength = int64_t(payload.size()) + EnvelopePadLength(int64_t(payload.size()));
  LQM_FUZZ_CHECK(length == (useBase64 ? Base64EncodedLength(sealedLength) : sealedLength));
  LQM_FUZZ_CHECK(CryptEnvelope(&block, &length, key.data(), givenKeyLength, false, useBase64));
  const std::vector<uint8_t> opened = TakeBlock(block, length);
  if (HoldsMarkerNearEnd(payload)) {
    LQM_FUZZ_CHECK(opened.size() <= payload.size() &&
                   std::equal(opened.begin(), opened.end(), payload.begin()));
  } else {
    LQM_FUZZ_CHECK(opened == payload);
  }
  return 0;
}

}  // namespace envelope_fuzz

LQM_FUZZ_ENTRY(envelope_fuzz::FuzzEnvelope)
