// Fuzz target: `lqm-host session` request lines.
//
// The input is split at line feeds; each line goes to HandleSessionLine with
// the plugin attached, as `lqm-host session` would feed it. Every answer
// must be one line of JSON holding an object (the protocol's only shape),
// read as a session client reads it: a text with an unpaired surrogate comes
// back as a lone "\udXXX" escape, which only the loose reader accepts.
// After every line the plugin must hold no host object, unless the input has
// planned host faults: a failed release leaves its object alive by design, so
// from the first line that mentions "fail" the count is not checked.
//
// Settings a line can change (the app folder, failing commands, planned
// faults) only live as long as the input's host.
#include "fuzz_target.h"

#include <nlohmann/json.hpp>

#include "lqm-host/lib/loose_json.h"
#include "lqm-host/lib/session.h"
#include "plugin_driver.h"

namespace session_line_fuzz {

int FuzzSessionLine(const uint8_t* data, size_t size) {
  auto session = std::make_unique<lqm::host::Session>();
  lqm_fuzz::AttachStaticPlugin(session->host);
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  bool faultsPlanned = false;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    faultsPlanned = faultsPlanned || line.find("fail") != std::string::npos;
    const std::string answer = lqm::host::HandleSessionLine(*session, line);
    LQM_FUZZ_CHECK(answer.find('\n') == std::string::npos);
    nlohmann::json parsed;
    LQM_FUZZ_CHECK(lqm::host::ParseJsonAllowingLoneSurrogates(answer, parsed) && parsed.is_object());
    if (!faultsPlanned) LQM_FUZZ_CHECK(lqm_fuzz::NothingLive(session->host));
    start = end + 1;
  }
  session->host.Select(lqm::abi::kSelectorDeinit);
  return 0;
}

}  // namespace session_line_fuzz

LQM_FUZZ_ENTRY(session_line_fuzz::FuzzSessionLine)
