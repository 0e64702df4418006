// Vector kernels under base64.cpp: SSSE3, 16 characters per step
// (base64_ssse3.cpp), AVX2, 32 (base64_avx2.cpp), and AVX-512 VBMI, 64
// (base64_vbmi.cpp). Private to the codecs folder; callers check
// CodecCpuLevelInUse() >= kCodecCpuSse for the SSSE3 ones, kCodecCpuAvx2 for
// the AVX2 ones, kCodecCpuAvx512 for the VBMI ones.
//
// They only ever handle the easy part: whole groups of 3 bytes to encode, and
// to decode, whole groups of 4 alphabet characters and the CR/LF line breaks
// that stand between groups (no "=", nothing else skipped). Everything else
// stays with the scalar code, which is therefore the one place the lenient
// decoding rules live; a CR or LF between groups is a character the scalar
// rules skip without any other effect, so skipping it here changes nothing.
#pragma once

#include <cstdint>

#include "codecs/base64_tables.h"

// The hand-over inside a decoding kernel after a step met a character
// outside the alphabet (bit i of `outside`: character i of the step at
// input + *done). Takes the whole groups before it (the bytes the step
// stored after them are overwritten by what follows), then, when that
// character starts a run of CR and LF right after a whole group, the run.
// Returns where the run began, or -1 when the kernel must stop at the
// character: an open group, "=" or anything else is for the scalar rules.
// Always inlined: it sits inside the vector loops, which keep their
// constants in registers across it.
inline __attribute__((always_inline)) int64_t TakeCleanGroupsAndBreaks(uint32_t outside,
                                                                      const unsigned char* input,
                                                                      int64_t length, int64_t* done,
                                                                      unsigned char** output) {
  const int clean = __builtin_ctz(outside);
  *output += clean / 4 * 3;
  *done += clean / 4 * 4;
  if (clean % 4 != 0) return -1;
  const int64_t breakStart = *done;
  while (*done < length && lqm::base64::IsLineBreak(input[*done])) ++*done;
  return *done == breakStart ? -1 : breakStart;
}

// Encodes 24 input bytes to 32 characters per step while at least 32 input
// bytes remain (each step reads 28). Returns the input bytes consumed, a
// multiple of 24; the output holds 4/3 as many characters.
int64_t Base64EncodeAvx2(const unsigned char* input, int64_t length, unsigned char* output);

// Decodes 32 characters to 24 bytes per step while at least 32 characters
// remain. A step whose characters leave the alphabet decodes the whole
// groups before the first such character; when that character starts a run
// of CR and LF right after a whole group, the run is skipped and the steps
// go on (lines of 64 or 76 characters stay here), otherwise the kernel
// stops there. Must be entered where no group is open; returns the
// characters consumed, ending where no group is open, and sets *written to
// the bytes decoded. Each step stores 24 bytes at the output position even
// when it decodes fewer, so `output` needs room for 3 bytes per 4 of the
// `length` characters (what a clean text decodes to); the caller's bound of
// 3 bytes per 4 characters read so far then still holds for the whole text.
int64_t Base64DecodeCleanAvx2(const unsigned char* input, int64_t length, unsigned char* output,
                              int64_t* written);

// SSSE3: the two kernels above at half the width. Encoding takes 12 input
// bytes to 16 characters per step while at least 16 input bytes remain
// (each step reads 16) and returns the bytes consumed, a multiple of 12.
// Decoding takes 16 characters to 12 bytes per step while at least 16
// remain, skipping runs of CR and LF between groups like the AVX2 kernel,
// and stops at anything else; same entry and exit state. Each step stores
// 12 bytes even when it decodes fewer (16 while 48 characters remain),
// which the bound of 3 bytes per 4 characters read still covers.
int64_t Base64EncodeSsse3(const unsigned char* input, int64_t length, unsigned char* output);
int64_t Base64DecodeCleanSsse3(const unsigned char* input, int64_t length, unsigned char* output,
                               int64_t* written);

// AVX-512 VBMI: encodes 48 input bytes to 64 characters per step while at
// least 48 remain (reading no byte past them). Returns the input bytes
// consumed, a multiple of 12. An input of 16 MiB or more whose output is
// 16-byte aligned is written with non-temporal stores (such an output
// cannot stay in the caches, and they save reading each line in before
// overwriting it: a quarter less time); a few 12-byte steps reach the
// first 64-byte boundary.
int64_t Base64EncodeVbmi(const unsigned char* input, int64_t length, unsigned char* output);

// AVX-512 VBMI: decodes blocks of 64 alphabet characters to 48 bytes while
// at least 64 characters remain, and stops before the first block that holds
// anything else (the AVX2 kernel and the scalar rules take it from there).
// Entered where no group is open, it ends where none is; returns the
// characters consumed, sets *written to the bytes decoded, and writes no
// byte past them. With 16 MiB of characters or more and a 16-byte aligned
// output it streams the output as the encoder does, four blocks (three
// whole 64-byte lines) a step.
int64_t Base64DecodeCleanVbmi(const unsigned char* input, int64_t length, unsigned char* output,
                              int64_t* written);
