// Routine 3, LQM_OpenPrintSession.
//
// The session key is replaced on every call with a non-empty access code,
// right or wrong: 4D code names its slots before it knows whether the
// session opened. A new key is built before the old one is released, so a
// failed allocation keeps the old key rather than leaving none. The folder
// variables are read once per initialisation; later calls only confirm that
// they were read.
#include "printdoc/print_session.h"

#include <cstring>

#include "host/command_handlers.h"
#include "host/parameters.h"
#include "printdoc/print_state.h"

bool AccessCodeMatches(const char* text, size_t length) {
  constexpr size_t kCodeLength = sizeof kPrintAccessCode - 1;
  return text != nullptr && length == kCodeLength && std::memcmp(text, kPrintAccessCode, kCodeLength) == 0;
}

void LQM_OpenPrintSession(const PluginParameters& params) {
  int32_t result = 0;
  const HeapText code = TextParameter(params, 1);
  if (!code.empty()) {
    bool failed = false;
    HeapText key = TextParameter(params, 2, &failed);
    if (key.empty() && !failed) key = HeapText::Copy(kDefaultSessionKey);
    if (key.held()) ReplaceSessionKey(key.release());
    if (AccessCodeMatches(code.data(), code.size())) {
      const bool open = ReadPrintFolders();
      SetPrintSessionOpen(open);
      result = open ? 1 : 0;
    }
  }
  HostReturnLong(params, result);
}
