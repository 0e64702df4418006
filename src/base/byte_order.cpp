// Unit reversal for the byte-order conversions (see byte_order.h). The swap
// is done with two indexes inside each unit, so no scratch memory is needed
// and the routine cannot fail.
#include "base/byte_order.h"

void ReverseByteUnits(void* buffer, int64_t length, int unitSize) {
  if (buffer == nullptr || length < 1 || unitSize < 2 || length < unitSize) return;
  unsigned char* bytes = static_cast<unsigned char*>(buffer);
  const int64_t wholeUnits = length / unitSize;
  for (int64_t unit = 0; unit < wholeUnits; ++unit) {
    unsigned char* low = bytes + unit * unitSize;
    unsigned char* high = low + unitSize - 1;
    while (low < high) {
      const unsigned char kept = *low;
      *low++ = *high;
      *high-- = kept;
    }
  }
}
