// Routine 3, LQM_OpenPrintSession, and the one-time reading of the print
// folder variables (see print_session.h).
//
// The session key is replaced on every call with a non-empty access code,
// right or wrong: 4D code names its slots before it knows whether the
// session opened. A new key is built before the old one is released, so a
// failed allocation keeps the old key rather than leaving none. The folder
// variables are read once per initialisation; later calls only confirm that
// they were read.
#include "printdoc/print_session.h"

#include <cstring>

#include "frame/handlers.h"
#include "base/plugin_heap.h"
#include "frame/state.h"
#include "host/texts.h"

namespace {

// Text parameter N as a NUL-terminated UTF-8 heap copy; null when the text
// is empty or cannot be copied. *length receives its byte count without
// the NUL.
char* CopyTextParameter(const PluginParameters& params, int n, size_t* length) {
  *length = 0;
  const int64_t size = TextParameterToUtf8(params, n, nullptr, 1);
  if (size <= 1) return nullptr;
  auto* copy = static_cast<char*>(PluginMalloc(static_cast<size_t>(size)));
  if (copy == nullptr) return nullptr;
  if (TextParameterToUtf8(params, n, copy, 1) != size) {
    PluginFree(copy);
    return nullptr;
  }
  copy[size - 1] = 0;
  *length = static_cast<size_t>(size - 1);
  return copy;
}

char* CopyOfDefaultKey() {
  auto* key = static_cast<char*>(PluginMalloc(sizeof kDefaultSessionKey));
  if (key != nullptr) std::memcpy(key, kDefaultSessionKey, sizeof kDefaultSessionKey);
  return key;
}

void ReplaceSessionKey(const PluginParameters& params) {
  size_t length = 0;
  const bool empty = TextParameterToUtf8(params, 2, nullptr, 1) <= 1;
  char* key = empty ? CopyOfDefaultKey() : CopyTextParameter(params, 2, &length);
  if (key == nullptr) return;
  PluginFree(gSessionKey);
  gSessionKey = key;
}

}  // namespace

bool AccessCodeMatches(const char* text, size_t length) {
  constexpr size_t kCodeLength = sizeof kPrintAccessCode - 1;
  return text != nullptr && length == kCodeLength && std::memcmp(text, kPrintAccessCode, kCodeLength) == 0;
}

bool PrintSessionUsable() { return gPluginReady && gPrintSessionOpen && gSessionKey != nullptr; }

bool ReadTextVariableOnce(char*& target, const char* name) {
  if (target != nullptr) return true;
  const HostVariable variable = GetVariableByUtf8Name(name);
  if (HostGetLastError() != 0) return false;
  if (HostGetVariableKind(variable) != lqm::abi::kKindText || HostGetLastError() != 0) return false;
  char* copy = nullptr;
  if (TextVariableToUtf8(variable, &copy) < 1 || copy == nullptr) {
    PluginFree(copy);
    return false;
  }
  target = copy;
  return true;
}

void LQM_OpenPrintSession(const PluginParameters& params) {
  int32_t result = 0;
  size_t codeLength = 0;
  char* code = gPluginReady ? CopyTextParameter(params, 1, &codeLength) : nullptr;
  if (code != nullptr) {
    ReplaceSessionKey(params);
    if (AccessCodeMatches(code, codeLength)) {
      // The spool folder is read only once the root folder has been.
      const bool open = ReadTextVariableOnce(gPrintRootDirectory, kPrintRootVariable) &&
                        ReadTextVariableOnce(gPrintSpoolDirectory, kPrintSpoolVariable);
      gPrintSessionOpen = open;
      result = open ? 1 : 0;
    }
    PluginFree(code);
  }
  HostReturnLong(params, result);
}
