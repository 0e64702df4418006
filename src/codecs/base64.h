// Base64 (RFC 4648, standard alphabet, "=" padding) over a caller's heap
// buffer, transformed in place.
//
// The buffer is a PluginMalloc block held as pointer plus length; each
// routine may replace the block, and a result of 0 bytes leaves the caller
// with no block (null, length 0). On failure (working memory unavailable)
// the routines return false and leave pointer and length as they were.
//
// Encoding writes one line with no breaks and no terminator. Decoding is
// lenient: bytes outside the alphabet are skipped, the first "=" ends the
// data, and a final group of 1 to 3 characters without "=" is dropped.
#pragma once

#include <cstdint>

bool EncodeBase64InPlace(unsigned char** buffer, int64_t* length);
bool DecodeBase64InPlace(unsigned char** buffer, int64_t* length);

// The kernels under the routines above, for callers with their own buffers.
// Base64EncodeInto writes exactly Base64EncodedLength(n) characters.
// Base64DecodeInto writes at most Base64DecodedCapacity(n) bytes and returns
// how many. Both use the vector kernels of base64_simd.h (SSSE3, AVX2,
// AVX-512 VBMI) when the CPU level allows, and table lookups otherwise; the
// results are the same on every level.
void Base64EncodeInto(const unsigned char* input, int64_t n, unsigned char* output);
int64_t Base64DecodeInto(const unsigned char* input, int64_t n, unsigned char* output);

// The encoded length of n bytes: 4 characters per started group of 3.
inline int64_t Base64EncodedLength(int64_t n) { return 4 * ((n + 2) / 3); }
// Room for decoding n characters: 3 bytes per whole group of 4, plus one
// more group.
inline int64_t Base64DecodedCapacity(int64_t n) { return 3 * (n / 4 + 1); }
