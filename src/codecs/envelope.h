// The encrypted envelope: the one format in which the plugin seals data.
//
// Sealed form of a plaintext of n bytes: when n is not a multiple of 8, the
// trailer "/*pd" and the filler digits "1", "2", ... are appended until the
// length is a multiple of 8 with at least the 4 marker bytes added (4 to 11
// bytes); then every 8-byte block is enciphered with TEA (tea.h) as two
// big-endian words under a 16-byte key block. Optionally the result is
// written as one line of Base64. There is no header, length or checksum: the
// plaintext ends at the first marker within the last 16 bytes.
//
// Key block: the key's first 16 bytes, or, for a shorter key, its bytes
// followed by the index bytes keyLength, keyLength + 1, ..., 15. Read as four
// big-endian words. docs/envelope.md gives the layout with worked sizes.
#pragma once

#include <cstdint>

// Seals (seal true) or opens the bytes of a PluginMalloc block in place; the
// block may be replaced and *length is updated. keyLength counts the key's
// bytes (negative counts as 0; only the first 16 bytes count).
//
// Opening input that is not an envelope follows the same rules: after the
// optional Base64 step a length below 8 or not a multiple of 8 is returned
// as it stands, anything else is deciphered and cut at a marker if one turns
// up. Returns false only when memory runs out; the block is then released
// and the result is empty, so no half-sealed bytes (or a plaintext that was
// meant to be sealed) ever leave the call.
bool CryptEnvelope(unsigned char** buffer, int64_t* length, const unsigned char* key,
                   int32_t keyLength, bool seal, bool useBase64);

// The number of bytes sealing adds to a plaintext of n bytes (0, or 4 to 11).
int EnvelopePadLength(int64_t n);
