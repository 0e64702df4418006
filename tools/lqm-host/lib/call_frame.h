// The call frame: the storage of one plugin call as 4D lays it out (one
// record per parameter, in the form of its declared kind, and a result slot
// in the form of the declared result), the entry point's run, and the values
// read back afterwards. Host::Call (host.cpp) drives one frame per call.
//
// Invariants
// - Every object the frame makes is registered as the host's and
//   remembered with its serial; the destructor releases those still alive
//   under the same serial, so a block the plugin freed and reused is never
//   released twice.
// - After Collect, every object the parameters and the result reach has
//   been read and released, except a named variable's pinned content.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/command_table.h"
#include "host.h"
#include "host_memory.h"
#include "host_records.h"
#include "values.h"

namespace lqm::host {

// A numeric result slot starts with a pattern that no sign-extended longint
// can take (its high half is neither 0 nor all ones), so a slot still
// holding it means "no result set".
inline constexpr int64_t kNoResultPattern = 0x7E57A11FDEADBEEF;

// One parameter's storage; element N-1 of the parameter array points at it.
struct ParameterSlot {
  char letter = 'Y';
  bool wrapped = false;  // given as {"variable": ...}
  union {
    int32_t longint;
    int16_t integer;
    double real;
    abi::TextRecord text;
    char** handle;
    abi::VariableRecord variable;
  };
  // Only the small members' bytes: a variable slot's whole record is
  // zeroed by StoreValue, and clearing all 260 bytes here was a third of
  // building a call's parameters.
  ParameterSlot() { std::memset(&text, 0, sizeof text); }
};

// The storage of one call: parameters, result slot, and the objects the host
// made for them (address and serial, so that a block freed by the plugin and
// reused for one of its own is never mistaken for the host's).
class CallFrame {
 public:
  CallFrame(Host& host, const CommandInfo* row) : host_(host), memory_(host.memory_), row_(row) {}
  ~CallFrame() {
    for (auto [object, serial] : made_)
      if (memory_.SerialOf(object) == serial) memory_.Release(object);
  }

  // `movable`: the same arguments, whose BLOB bytes may be moved (or null).
  bool Build(const std::vector<Value>& args, std::vector<Value>* movable, std::string& error);
  void Run(int32_t routine);
  CallOutcome Collect();

 private:
  bool Store(ParameterSlot& slot, const Value* value, Value* movable, std::string& error);
  void Remember(const void* object) {
    if (object) made_.emplace_back(object, memory_.SerialOf(object));
  }
  // The same for an object just made, whose serial its maker gave.
  void Remember(const void* object, uint64_t serial) { made_.emplace_back(object, serial); }
  // An object Collect has released or moved out: the destructor need not
  // look it up (an entry for an earlier object at the same address is moot
  // too, since that object is gone).
  void Forget(const void* object) {
    made_.erase(std::remove_if(made_.begin(), made_.end(), [&](const auto& made) { return made.first == object; }),
                made_.end());
  }
  void RememberRecord(const abi::VariableRecord& record) {
    std::vector<const void*> objects;
    CollectObjects(memory_, record, objects);
    for (const void* object : objects) Remember(object);
  }
  bool ReadSlot(const ParameterSlot& slot, Value& out, std::string& error);
  bool ReadResult(std::optional<Value>& out, std::string& error);
  bool ReachedOnce(const void* object, std::vector<const void*>::iterator* found);
  bool TakeBlob(char** handle, Value& out);
  bool TakeText(const abi::TextRecord& text, Value& out);
  void CollectReachable(std::vector<const void*>& out) const;

  Host& host_;
  HostMemory& memory_;
  const CommandInfo* row_;
  std::deque<ParameterSlot> slots_;  // a deque keeps each slot's address
  std::vector<void*> pointers_;
  char resultLetter_ = 0;
  int64_t numericResult_ = kNoResultPattern;
  double realResult_ = 0;
  abi::TextRecord textResult_{0, nullptr, 0, 0};
  char16_t* textSentinel_ = nullptr;
  char** blobSentinel_ = nullptr;
  void* resultSlot_ = nullptr;  // what `result` points at
  std::vector<std::pair<const void*, uint64_t>> made_;
  // What the parameters and the result reach after the call (Collect): the
  // objects the host releases once it has read them.
  std::vector<const void*> reachable_;
};

}  // namespace lqm::host
