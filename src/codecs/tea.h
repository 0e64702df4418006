// The TEA block cipher (Wheeler and Needham, "TEA, a Tiny Encryption
// Algorithm", 1994) in its original form: 64-bit blocks, a 128-bit key of
// four words, 32 cycles, delta 0x9E3779B9.
//
// A block is two 32-bit words read from its 8 bytes in the host's own byte
// order; callers that need a fixed byte order (the envelope) convert the
// buffer first. Blocks are processed independently (codebook order): equal
// plaintext blocks give equal ciphertext blocks.
#pragma once

#include <cstdint>

// Enciphers the 8 bytes at input into output; the two may be the same bytes.
void TeaEncipherBlock(const unsigned char* input, unsigned char* output, const uint32_t key[4]);
void TeaDecipherBlock(const unsigned char* input, unsigned char* output, const uint32_t key[4]);

// Enciphers the first count blocks of data in place (count > 0), or
// deciphers the first -count blocks (count < 0). Count 0 changes nothing and
// returns false; every other call returns true. Bytes past the counted
// blocks are never touched.
bool TeaBlocks(unsigned char* data, int64_t count, const uint32_t key[4]);

// TeaBlocks on blocks whose 32-bit words are stored in the opposite byte
// order to the host's: the same as reversing the bytes of every word of the
// counted blocks, TeaBlocks, and reversing them back, in one pass.
bool TeaBlocksWordsReversed(unsigned char* data, int64_t count, const uint32_t key[4]);
