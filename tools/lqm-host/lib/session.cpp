// The session protocol's request handling (session.h).
//
// Each request is validated completely before it changes anything, so a bad
// line leaves the host as it was.
#include "session.h"

#include <limits>
#include <optional>

#include "charsets.h"
#include "loose_json.h"
#include "named_commands.h"

namespace lqm::host {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

std::string ErrorAnswer(const std::string& message) {
  ordered_json answer = ordered_json::object();
  answer["error"] = message;
  return WriteJson(answer);
}

const std::string kEmptyAnswer = "{}";

// Keys allowed next to each request's own key.
bool OnlyKeys(const json& request, std::initializer_list<const char*> allowed, std::string& error) {
  for (auto it = request.begin(); it != request.end(); ++it) {
    bool known = false;
    for (const char* key : allowed) known = known || it.key() == key;
    if (!known) {
      error = "unknown key \"" + it.key() + "\"";
      return false;
    }
  }
  return true;
}

bool ReadInt32(const json& j, int32_t& out) {
  if (!j.is_number_integer()) return false;
  if (j.is_number_unsigned()) {
    if (j.get<uint64_t>() > uint64_t(std::numeric_limits<int32_t>::max())) return false;
  } else {
    int64_t v = j.get<int64_t>();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
      return false;
  }
  out = int32_t(j.get<int64_t>());
  return true;
}

std::string HandleSelect(Session& s, const json& request) {
  std::string error;
  if (!OnlyKeys(request, {"select"}, error)) return ErrorAnswer(error);
  int32_t selector;
  if (!ReadInt32(request["select"], selector))
    return ErrorAnswer("\"select\" needs an integer selector");
  if (!s.host.HasPlugin()) return ErrorAnswer("no plugin loaded");
  int32_t version = s.host.Select(selector);
  if (selector != abi::kSelectorInit && selector != abi::kSelectorServerInit) return kEmptyAnswer;
  ordered_json answer;
  answer["version"] = version;
  return WriteJson(answer);
}

std::string HandleCall(Session& s, const json& request) {
  std::string error;
  if (!OnlyKeys(request, {"call", "args"}, error)) return ErrorAnswer(error);
  const json& target = request["call"];
  std::vector<Value> args;
  if (request.contains("args")) {
    const json& list = request["args"];
    if (!list.is_array()) return ErrorAnswer("\"args\" must be a list of typed values");
    for (size_t i = 0; i < list.size(); ++i) {
      Value value;
      if (!ValueFromJson(list[i], value, error))
        return ErrorAnswer("argument " + std::to_string(i + 1) + ": " + error);
      args.push_back(std::move(value));
    }
  }
  if (!s.host.HasPlugin()) return ErrorAnswer("no plugin loaded");
  CallOutcome outcome;
  int32_t routine;
  if (target.is_string())
    outcome = s.host.Call(target.get<std::string>(), args);
  else if (ReadInt32(target, routine))
    outcome = s.host.Call(routine, args);
  else
    return ErrorAnswer("\"call\" needs a routine number or a command name");
  if (!outcome.ok()) return ErrorAnswer(outcome.error);
  ordered_json answer;
  answer["result"] = outcome.result ? ValueToJson(*outcome.result) : ordered_json(nullptr);
  answer["args"] = ordered_json::array();
  for (const Value& value : outcome.args) answer["args"].push_back(ValueToJson(value));
  return WriteJson(answer);
}

std::string HandleHost(Session& s, const json& request) {
  std::string error;
  if (!OnlyKeys(request, {"host"}, error)) return ErrorAnswer(error);
  const json& changes = request["host"];
  if (!changes.is_object()) return ErrorAnswer("\"host\" needs an object of settings");
  Settings settings = s.host.GetSettings();
  std::optional<FaultPlan> fault;
  for (auto it = changes.begin(); it != changes.end(); ++it) {
    const std::string& key = it.key();
    const json& v = it.value();
    if (key == "platform") {
      std::string name = v.is_string() ? v.get<std::string>() : "";
      if (name == "windows") settings.platform = Platform::kWindows;
      else if (name == "macos") settings.platform = Platform::kMacOS;
      else if (name == "unknown") settings.platform = Platform::kUnknown;
      else return ErrorAnswer("\"platform\" must be \"windows\", \"macos\" or \"unknown\"");
    } else if (key == "platform_properties") {
      if (!v.is_boolean()) return ErrorAnswer("\"platform_properties\" must be true or false");
      settings.platformProperties = v.get<bool>();
    } else if (key == "application_type") {
      if (!ReadInt32(v, settings.applicationType))
        return ErrorAnswer("\"application_type\" must be an integer");
    } else if (key == "compiled") {
      if (!v.is_boolean()) return ErrorAnswer("\"compiled\" must be true or false");
      settings.compiled = v.get<bool>();
    } else if (key == "app_folder") {
      if (!v.is_string() || v.get_ref<const std::string&>().empty())
        return ErrorAnswer("\"app_folder\" must be a directory path");
      settings.appFolder = std::filesystem::u8path(v.get<std::string>());
    } else if (key == "command_ids") {
      if (!v.is_object()) return ErrorAnswer("\"command_ids\" must map command names to numbers");
      for (auto id = v.begin(); id != v.end(); ++id) {
        int32_t number;
        if (!ReadInt32(id.value(), number))
          return ErrorAnswer("\"command_ids\": \"" + id.key() + "\" needs an integer");
        settings.commandIds[FoldName(id.key())] = number;
      }
    } else if (key == "failing_commands") {
      if (!v.is_array()) return ErrorAnswer("\"failing_commands\" must be a list of names");
      std::set<std::string> names;
      for (const json& name : v) {
        if (!name.is_string()) return ErrorAnswer("\"failing_commands\" must be a list of names");
        names.insert(FoldName(name.get<std::string>()));
      }
      settings.failingCommands = std::move(names);
    } else if (key == "fail") {
      // {"kind": "handle", "nth": 3, "persistent": false}, or null to disarm.
      const char* usage =
          "\"fail\" needs {\"kind\": handle|variable|text|charset|lookup|execution|folder, "
          "\"nth\": N >= 1, \"persistent\": true|false} or null";
      FaultPlan plan;
      if (!v.is_null()) {
        if (!v.is_object() || !v.contains("kind") || !v["kind"].is_string() ||
            !FaultKindFromName(v["kind"].get<std::string>(), plan.kind))
          return ErrorAnswer(usage);
        int32_t nth = 1;
        if (v.contains("nth") && (!ReadInt32(v["nth"], nth) || nth < 1)) return ErrorAnswer(usage);
        plan.nth = nth;
        if (v.contains("persistent")) {
          if (!v["persistent"].is_boolean()) return ErrorAnswer(usage);
          plan.persistent = v["persistent"].get<bool>();
        }
        for (auto field = v.begin(); field != v.end(); ++field)
          if (field.key() != "kind" && field.key() != "nth" && field.key() != "persistent")
            return ErrorAnswer(usage);
      }
      fault = plan;
    } else {
      return ErrorAnswer("unknown host setting \"" + key + "\"");
    }
  }
  s.host.SetSettings(settings);
  if (fault) {
    s.host.InjectFault(*fault);
    s.faultPlanned = fault->kind != FaultKind::kNone;
  }
  return kEmptyAnswer;
}

bool ReadVariableName(const json& j, std::string& name) {
  if (!j.is_string()) return false;
  name = j.get<std::string>();
  std::string bare = name.compare(0, 2, "<>") == 0 ? name.substr(2) : name;
  return !bare.empty();
}

std::string HandleSet(Session& s, const json& request) {
  std::string error, name;
  if (!OnlyKeys(request, {"set", "value"}, error)) return ErrorAnswer(error);
  if (!ReadVariableName(request["set"], name)) return ErrorAnswer("\"set\" needs a variable name");
  if (!request.contains("value")) return ErrorAnswer("\"set\" needs a \"value\"");
  Value value;
  if (!ValueFromJson(request["value"], value, error)) return ErrorAnswer("value: " + error);
  s.host.SetVariable(name, value.Held());
  return kEmptyAnswer;
}

std::string HandleUnset(Session& s, const json& request) {
  std::string error, name;
  if (!OnlyKeys(request, {"unset"}, error)) return ErrorAnswer(error);
  if (!ReadVariableName(request["unset"], name))
    return ErrorAnswer("\"unset\" needs a variable name");
  s.host.UnsetVariable(name);
  return kEmptyAnswer;
}

std::string HandleStats(Session& s, const json& request) {
  std::string error;
  if (!OnlyKeys(request, {"stats"}, error)) return ErrorAnswer(error);
  if (request["stats"] != true) return ErrorAnswer("\"stats\" takes the value true");
  Stats stats = s.host.GetStats();
  ordered_json answer;
  answer["callbacks"] = stats.callbacks;
  answer["commands_run"] = ordered_json::object();
  for (const auto& [name, count] : stats.commandsRun) answer["commands_run"][name] = count;
  answer["live"] = {{"variables", stats.live.variables},
                    {"texts", stats.live.texts},
                    {"handles", stats.live.handles}};
  // Only sessions that planned a fault see its counts, so older scripts'
  // answers stay as they were.
  if (s.faultPlanned) {
    FaultStatus fault = s.host.GetFaultStatus();
    answer["faults"] = {{"counted", fault.counted}, {"fired", fault.fired}};
  }
  return WriteJson(answer);
}

}  // namespace

std::string HandleSessionLine(Session& session, const std::string& line) {
  json request;
  try {
    request = json::parse(line);
  } catch (const json::parse_error& e) {
    // A 4D text may hold an unpaired surrogate, which JSON can only write as
    // an escape the standard reader refuses; such a line gets a second reading.
    if (!HasSurrogateEscape(line) || !ParseJsonKeepingLoneSurrogates(line, request))
      return ErrorAnswer("not JSON (error at byte " + std::to_string(e.byte) + ")");
  } catch (const json::exception& e) {
    // The parser also throws for well-formed text it cannot hold, such as a
    // number whose exponent overflows a double.
    return ErrorAnswer(std::string("not usable JSON: ") + e.what());
  }
  if (!request.is_object()) return ErrorAnswer("a request is a JSON object");
  try {
    if (request.contains("select")) return HandleSelect(session, request);
    if (request.contains("call")) return HandleCall(session, request);
    if (request.contains("host")) return HandleHost(session, request);
    if (request.contains("set")) return HandleSet(session, request);
    if (request.contains("unset")) return HandleUnset(session, request);
    if (request.contains("stats")) return HandleStats(session, request);
  } catch (const std::exception& e) {
    return ErrorAnswer(std::string("internal error: ") + e.what());
  }
  if (request.empty()) return ErrorAnswer("empty request");
  return ErrorAnswer("unknown request \"" + request.begin().key() + "\"");
}

}  // namespace lqm::host
