// The plugin's only door to 4D: every host operation the commands use.
//
// Each Host... operation either works directly on the records that 4D handed
// over (parameters, result slot, variable and array records: "plugin side") or
// fills an engine block and calls the host's callback. After every callback
// the host's error code is kept in the calling thread's error word, which
// HostGetLastError reads; plugin-side operations leave it as it was. No
// operation throws, and none allocates with the C heap.
//
// Ownership in short: texts and handles made with HostCreateText/HostNewHandle
// belong to the plugin until disposed or handed to 4D (stored in a variable,
// an array element or a result). Texts read from parameters or variables stay
// 4D's and are never disposed by the plugin. A variable made with
// HostCreateVariable, or returned by HostExecuteCommand, is released with
// HostClearVariable.
#pragma once

#include <cstdint>

#include "host/host_abi.h"

// The three pointers a command handler receives (parameter N is
// parameters[N - 1]); `data` is carried along and never read.
struct PluginParameters {
  void** parameters;
  void* result;
  void* data;
};

// A 4D text record: `units` is NUL-terminated UTF-16, `length` excludes the NUL.
using HostText = lqm::abi::TextRecord;
// A copy of a 4D variable record; its contents may still belong to 4D.
using HostVariable = lqm::abi::VariableRecord;
// A relocatable 4D memory block: the address of a master pointer to the bytes.
using HostHandle = char**;

// Variable kinds the commands name.
using lqm::abi::VariableKind;

// ---------------------------------------------------------------------------
// The callback and the per-thread error word
// ---------------------------------------------------------------------------

// Keeps the callback taken from the host's initialisation block.
void HostSetCallback(void* callback);
// The error code of the calling thread's last callback, 0 for success.
int16_t HostGetLastError();

// The interface block handed over with selectors -1 and -200: the callback is
// kept and the supported interface version written back.
void HostAcceptInitBlock(void* initBlock);

// ---------------------------------------------------------------------------
// Parameters and result (N is 1-based)
// ---------------------------------------------------------------------------

int32_t HostGetLongParameter(const PluginParameters& params, int n);
// The 16-bit value zero-extended: -1 reads as 65535.
uint16_t HostGetShortParameter(const PluginParameters& params, int n);
// Borrowed: the text belongs to 4D. {0, nullptr} when the slot is missing.
HostText HostGetTextParameter(const PluginParameters& params, int n);
// A copy of the variable record (kind 5 when the slot is missing).
HostVariable HostGetVariableParameter(const PluginParameters& params, int n);
// Writes a variable record back into parameter N without releasing what the
// slot held: every caller hands back the parameter's own variable (an array
// resized in place shares its storage with the slot).
void HostSetVariableParameter(const PluginParameters& params, int n, const HostVariable& variable);
// The handle of BLOB parameter N, still 4D's (the SDK's
// PA_GetBlobHandleParameter): its bytes can be read in place through
// *handle, its size with HostGetHandleSize. Null for an empty BLOB or a
// missing slot. Never disposed or resized by the plugin.
HostHandle HostGetBlobHandleParameter(const PluginParameters& params, int n);

void HostReturnLong(const PluginParameters& params, int32_t value);
// The text result takes a copy of the NUL-terminated UTF-16 string.
void HostReturnText(const PluginParameters& params, const char16_t* utf16);
// The BLOB result takes a copy of the bytes; null bytes give an empty BLOB.
void HostReturnBlob(const PluginParameters& params, const void* bytes, int64_t length);

// ---------------------------------------------------------------------------
// Character sets
// ---------------------------------------------------------------------------

// Converts srcBytes bytes and returns the number of bytes written (at most
// dstSize, no terminator added); 0 on failure.
int64_t HostConvertCharset(const void* src, int64_t srcBytes, int64_t srcSet, void* dst,
                           int64_t dstSize, int64_t dstSet);

// ---------------------------------------------------------------------------
// Variables
// ---------------------------------------------------------------------------

// An undefined variable, to be given a value by one of the setters below.
HostVariable HostCreateVariable();
// Releases what the variable holds; it becomes undefined.
void HostClearVariable(HostVariable& variable);
// The kind, with legacy text kinds reported as text and text array.
VariableKind HostGetVariableKind(const HostVariable& variable);
// Setters take ownership of `text` and of the new BLOB copy. They do not
// release the old contents: set only variables created undefined.
void HostSetLongVariable(HostVariable& variable, int32_t value);
void HostSetTextVariable(HostVariable& variable, HostText text);
// False, with the error word set and the variable unchanged, for a length a
// BLOB record cannot hold (negative or over 2^31 - 1 bytes); false also when
// 4D could not make the BLOB (the variable then holds an empty one).
bool HostSetBlobVariable(HostVariable& variable, const void* bytes, int64_t length);
// Readers give 0 / false / an empty text when the kind does not match.
int32_t HostGetLongVariable(const HostVariable& variable);
int32_t HostGetTimeVariable(const HostVariable& variable);
bool HostGetBooleanVariable(const HostVariable& variable);
// Borrowed: the text still belongs to the variable.
HostText HostGetTextVariable(const HostVariable& variable);
// BLOB size of a BLOB variable; copies the bytes when buffer is not null.
int64_t HostGetBlobVariable(const HostVariable& variable, void* buffer);
// A process variable, or an interprocess one when the name starts with "<>";
// an unknown name gives an undefined variable. Contents stay 4D's.
HostVariable HostGetVariableByName(const char16_t* name);

// ---------------------------------------------------------------------------
// Arrays (indexes 0..size; element 0 is the array's own)
// ---------------------------------------------------------------------------

// The element count, -1 when the variable is no array.
int32_t HostGetArraySize(const HostVariable& variable);
// Resizes a number or text array in place (dropped text elements are
// released, new ones zeroed) and updates the record's count only on success;
// false for other kinds. Write the record back with HostSetVariableParameter.
bool HostResizeArray(HostVariable& variable, int32_t count);
// Integer, longint and real arrays; a wrong kind or index reads 0.
int32_t HostGetLongArrayElement(const HostVariable& variable, int32_t index);
int16_t HostGetIntegerArrayElement(const HostVariable& variable, int32_t index);
double HostGetRealArrayElement(const HostVariable& variable, int32_t index);
// A wrong kind or index writes nothing.
void HostSetLongArrayElement(HostVariable& variable, int32_t index, int32_t value);
void HostSetIntegerArrayElement(HostVariable& variable, int32_t index, int16_t value);
void HostSetRealArrayElement(HostVariable& variable, int32_t index, double value);
// Releases the element's old text and moves `text` into the array; a wrong
// kind or index disposes `text` instead, so it never leaks.
void HostSetTextArrayElement(HostVariable& variable, int32_t index, HostText text);

// ---------------------------------------------------------------------------
// Texts and memory blocks
// ---------------------------------------------------------------------------

// A new 4D text holding a copy of the NUL-terminated units; {0, nullptr} and
// an error on failure.
HostText HostCreateText(const char16_t* utf16);
// Releases the text (an all-zero record is accepted) and zeroes the record.
void HostDisposeText(HostText& text);

HostHandle HostNewHandle(int64_t size);
void HostDisposeHandle(HostHandle handle);
// The bytes' address while the handle is locked.
void* HostLockHandle(HostHandle handle);
void HostUnlockHandle(HostHandle handle);
bool HostSetHandleSize(HostHandle handle, int64_t size);
int64_t HostGetHandleSize(HostHandle handle);

// ---------------------------------------------------------------------------
// 4D commands and folders
// ---------------------------------------------------------------------------

// The number of the 4D command with this name (at most 255 units).
int32_t HostGetCommandId(const char16_t* name);
// Runs a 4D command with `count` argument variables, which it may change in
// place, and returns its result variable (undefined when the command has no
// result). The caller clears the arguments and the result.
HostVariable HostExecuteCommand(int32_t command, HostVariable* arguments, int count);
// A folder of the host as a 4D text owned by the caller (HostDisposeText).
HostText HostGetFolderPath(int32_t kind, bool create);
