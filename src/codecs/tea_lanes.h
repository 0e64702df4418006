// TEA on many blocks at once in vector lanes (tea_lanes.cpp). Private to the
// codecs folder; TeaBlocks and TeaBlocksWordsReversed call it after checking
// the CPU level (codec_cpu.h).
#pragma once

#include <cstdint>

// Enciphers (count > 0) or deciphers (count < 0) the first whole multiples of
// the kernel's step among |count| blocks in place and returns how many blocks
// it did (0 when the level has no kernel). With reverseWords each 32-bit
// word's bytes are reversed on the way in and out, as TeaBlocksWordsReversed
// promises.
int64_t TeaLanes(unsigned char* data, int64_t count, const uint32_t key[4], bool reverseWords);
