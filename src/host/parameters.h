// The one way handlers read their parameters and set their results.
//
// Readers turn a parameter slot into what a handler works with: a text as
// UTF-8 in a HeapText (converted once, freed by its owner), an integer's low
// byte, a slot number, a BLOB's bytes read in place. Writers set the one
// result, or an element of an array parameter, from UTF-8 or bytes. None of
// them throws or leaves a host object behind; every failure has the value
// named in its comment, which is the command's empty answer.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/heap_text.h"
#include "host/host_calls.h"

// ---------------------------------------------------------------------------
// Readers
// ---------------------------------------------------------------------------

// Text parameter N as UTF-8. Empty for an empty text; empty with *failed set
// when the text has units that could not be converted (a key silently
// emptied would seal with the wrong key). `failed` may be null.
HeapText TextParameter(const PluginParameters& params, int n, bool* failed = nullptr);

// The low 8 bits of integer parameter N: the flags of the codec commands,
// where 4D code passes 0 or 1 and any value with a zero low byte means off.
inline uint8_t LowByteParameter(const PluginParameters& params, int n) {
  return static_cast<uint8_t>(HostGetShortParameter(params, n) & 0xFFu);
}

// A longint parameter as a slot number: its low 16 bits, unsigned, so -1 is
// slot 65535 (and out of range) rather than a negative index.
inline uint16_t SlotParameter(const PluginParameters& params, int n) {
  return static_cast<uint16_t>(static_cast<uint32_t>(HostGetLongParameter(params, n)) & 0xFFFFu);
}

// The bytes of a BLOB parameter where 4D holds them, never copied: whole
// documents pass here. Empty (null, 0) when the BLOB is empty or its size
// cannot be read. Nothing resizes 4D's handle while a command runs.
struct BlobBytes {
  const unsigned char* data = nullptr;
  int64_t size = 0;
};
BlobBytes BlobParameter(const PluginParameters& params, int n);

// ---------------------------------------------------------------------------
// Writers
// ---------------------------------------------------------------------------

// The text result from UTF-8; a failed conversion still sets the empty text.
void ReturnText(const PluginParameters& params, std::string_view utf8);
// The BLOB result (a copy); null or 0 bytes give the empty BLOB.
void ReturnBlob(const PluginParameters& params, const void* bytes, int64_t length);
// Element `index` of a text array from UTF-8; the element's old text is
// released. Nothing changes when the text cannot be made.
void SetTextElement(HostVariable& array, int32_t index, std::string_view utf8);
