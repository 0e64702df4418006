// Vector kernels under base64.cpp (AVX2, 32 characters per step). Private to
// the codecs folder; callers check CodecCpuLevelInUse() >= kCodecCpuAvx2.
//
// They only ever handle the easy part: whole groups of 3 bytes to encode, and
// runs of 32 characters all inside the alphabet to decode (no "=", no line
// breaks, nothing skipped). Everything else stays with the scalar code, which
// is therefore the one place the lenient decoding rules live.
#pragma once

#include <cstdint>

// Encodes 24 input bytes to 32 characters per step while at least 32 input
// bytes remain (each step reads 28). Returns the input bytes consumed, a
// multiple of 24; the output holds 4/3 as many characters.
int64_t Base64EncodeAvx2(const unsigned char* input, int64_t length, unsigned char* output);

// Decodes 32 characters to 24 bytes per step while at least 32 characters
// remain and all 32 are alphabet characters. Returns the characters
// consumed, a multiple of 32; the output holds 3/4 as many bytes. Writes
// nothing beyond those bytes.
int64_t Base64DecodeCleanAvx2(const unsigned char* input, int64_t length, unsigned char* output);
