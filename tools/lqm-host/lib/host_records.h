// Conversions between typed values and 4D's variable and text records, and
// the release of what a record holds (EX_CLEAR_VARIABLE's work).
//
// Every pointer found in a record is checked against the registry before it
// is followed: a record that the plugin filled with a stale or foreign
// pointer is reported, never dereferenced. Arrays are one handle of count + 1
// elements, element 0 first; a text element whose units pointer is null is
// an empty text (the state of elements added by growing an array).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_abi.h"
#include "host_memory.h"
#include "values.h"

namespace lqm::host {

// Fills `record` (zeroed first, filler 0) with `value`; its texts and handles
// are registered with `owner`. A kVariable value stores what it holds. False
// when memory runs out; the record is then kind 5 and nothing is left behind.
bool StoreValue(HostMemory& memory, const Value& value, abi::VariableRecord& record, Owner owner);

// Reads what the record holds; false with a message when the kind is not one
// this host models or a pointer in it is not a live object of the registry.
bool ReadValue(const HostMemory& memory, const abi::VariableRecord& record, Value& out,
               std::string& error);

// Reads a text record: a null units pointer is the empty text.
bool ReadText(const HostMemory& memory, const abi::TextRecord& text, std::u16string& out,
              std::string& error);

// The registered texts and handles the record refers to (text units, BLOB
// handle, array handle and the units of text elements).
void CollectObjects(const HostMemory& memory, const abi::VariableRecord& record,
                    std::vector<const void*>& out);

// Releases the record's contents and makes it undefined (kind 5, value
// zeroed). Returns 0, or the first error met (a pointer the registry does not
// know, or pinned content of a named variable, which is then left alone).
int16_t ClearRecord(HostMemory& memory, abi::VariableRecord& record);

// The kinds read as text and text array (legacy kinds included).
bool IsTextKind(uint8_t kind);
bool IsTextArrayKind(uint8_t kind);
// Element size of an array kind this host models, 0 otherwise.
size_t ArrayElementSize(uint8_t kind);

// Variables that crossed to the host through EX_EXECUTE_COMMAND_BY_ID carry
// a token in the last bytes of the value union, which 4D's records leave
// unused for every kind; copies of the record carry it along, so clearing
// any copy retires it.
void StampToken(abi::VariableRecord& record, uint64_t token);
uint64_t TokenOf(const abi::VariableRecord& record);  // 0 when none

}  // namespace lqm::host
