// A GoogleTest fixture that runs the built plugin inside the development
// host, in-process, as 4D would: the library is loaded from the build's
// application folder (<build>/app/Plugins/VarnelFolioforge.bundle/...), its
// entry point initialised with -1, and every command called with 4D's
// parameter storage.
//
// Use:
//   class MyTest : public lqm::testing::PluginTest {};
//   TEST_F(MyTest, Crc) {
//     auto result = CallForResult("LQM_ComputeCRC", {Blob("123456789"), Integer(2), Integer(1)});
//     EXPECT_EQ(result, Longint(int32_t(0xCBF43926)));
//   }
// CallForResult and Call fail the test when the call is refused or when the
// plugin leaves objects behind (texts, handles, command variables it made
// through the host and neither released nor handed back). TearDown shuts the
// plugin down with -2.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lqm-host/lib/host.h"

namespace lqm::testing {

using host::CallOutcome;
using host::Host;
using host::Value;

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Host& host() { return *host_; }

  // Runs a command by name or routine number; fails the test (without
  // stopping it) when the host refuses the call or objects stay live.
  CallOutcome Call(std::string_view name, const std::vector<Value>& args = {});
  CallOutcome Call(int32_t routine, const std::vector<Value>& args = {});
  // The command's result, or nullopt when it set none.
  std::optional<Value> CallForResult(std::string_view name, const std::vector<Value>& args = {});

  // Success when the plugin holds no host object; otherwise says which.
  ::testing::AssertionResult NoLiveObjects();

 private:
  std::unique_ptr<Host> host_;
};

// Short constructors for typed values.
inline Value Longint(int32_t v) { return Value::Longint(v); }
inline Value Integer(int16_t v) { return Value::Integer(v); }
inline Value Text(std::string_view utf8) { return Value::TextUtf8(utf8); }
inline Value Blob(std::string_view bytes) { return Value::BlobOf(bytes); }
inline Value Boolean(bool v) { return Value::Boolean(v); }
inline Value Undefined() { return Value::Undefined(); }
inline Value Variable(Value held) { return Value::Variable(std::move(held)); }
Value TextArray(const std::vector<std::string>& utf8Elements);  // element 0 first

// The routine number of a command, from the command table (0 if unknown).
int32_t RoutineOf(std::string_view name);

// Prints values readably in GoogleTest messages.
void PrintTo(const Value& value, std::ostream* os);

}  // namespace lqm::testing

namespace lqm::host {
// Found by argument-dependent lookup when GoogleTest prints a Value.
void PrintTo(const Value& value, std::ostream* os);
}  // namespace lqm::host
