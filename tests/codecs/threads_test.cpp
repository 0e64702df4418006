// Concurrent callers: the five codec commands, declared thread-safe, run
// from seven threads at once through one development host (the loaded
// library, as 4D would run it) and must answer exactly what one thread
// answers. Built with -DLQM_TSAN=ON (`make test-tsan`) this is the proof that
// neither the plugin nor the host shares unguarded state between them.
//
// The requests cover every CRC model and engine, Base64 at group boundaries
// and with damaged input, LZW in both directions over several code widths,
// clear/end settings and the predictor, and the envelope both ways, with and
// without its Base64 layer. Meanwhile the main-process commands (discovery,
// resources, formats, the print session) run on an eighth thread, which is
// what 4D does with preemptive processes beside its main one.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "base/plugin_heap.h"
#include "frame/command_table.h"
#include "frame/static_plugin.h"
#include "support/host_fixture.h"

namespace lqm::testing {
namespace {

struct Request {
  const char* name;
  std::vector<Value> args;
};

Value RandomBlob(uint32_t seed, size_t length) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255), narrow(0, 3);
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = uint8_t(i % 700 < 350 ? byte(generator) : narrow(generator));
  return Value::Blob(std::move(bytes));
}

std::vector<Request> CodecRequests() {
  const Value large = RandomBlob(1, 5000);
  const Value small = RandomBlob(2, 37);
  std::vector<Request> requests;
  for (int16_t model : {0, 1, 2})
    for (int16_t engine : {0, 1}) requests.push_back({"LQM_ComputeCRC", {large, Integer(model), Integer(engine)}});
  for (size_t length : {0, 1, 2, 3, 4, 57, 3000})
    requests.push_back({"LQM_EncodeBase64", {RandomBlob(uint32_t(length), length)}});
  requests.push_back({"LQM_DecodeBase64", {Blob("aGVs bG8=\r\n*!d29y")}});
  requests.push_back({"LQM_DecodeBase64", {Blob("")}});
  for (int16_t clearEnd : {0, 3})
    for (int32_t maxBits : {9, 12}) {
      requests.push_back({"LQM_LZWCodec", {Integer(1), large, Integer(clearEnd), Integer(clearEnd), Integer(0),
                                           Integer(0), Longint(8), Longint(maxBits)}});
      requests.push_back({"LQM_LZWCodec", {Integer(1), small, Integer(clearEnd), Integer(clearEnd), Integer(4),
                                           Integer(3), Longint(-1), Longint(maxBits)}});
    }
  requests.push_back({"LQM_LZWCodec", {Integer(0), Blob("\xFF\xFF\xFF"), Integer(3), Integer(3), Integer(0),
                                       Integer(0), Longint(-1), Longint(12)}});
  for (int16_t base64 : {0, 1})
    requests.push_back({"LQM_CipherText", {Text("thread \xF0\x9F\x98\x80 text"), Text("key"), Integer(1),
                                           Integer(base64)}});
  return requests;
}

class ConcurrentCallers : public PluginTest {
 protected:
  // The expected answers, from one thread, plus the inverse of every
  // compression and sealing fed with them.
  void Prepare() {
    requests_ = CodecRequests();
    const size_t forward = requests_.size();
    for (size_t i = 0; i < forward; ++i) expected_.push_back(CallForResult(requests_[i].name, requests_[i].args));
    for (size_t i = 0; i < forward; ++i) {
      const Request& r = requests_[i];
      if (!expected_[i]) continue;
      if (std::string(r.name) == "LQM_LZWCodec" && r.args[0] == Integer(1)) {
        std::vector<Value> args = r.args;
        args[0] = Integer(0);
        args[1] = *expected_[i];
        requests_.push_back({"LQM_LZWCodec", args});
      } else if (std::string(r.name) == "LQM_CipherText") {
        requests_.push_back({"LQM_CipherText", {*expected_[i], Text("key"), Integer(0), r.args[3]}});
      }
    }
    for (size_t i = forward; i < requests_.size(); ++i)
      expected_.push_back(CallForResult(requests_[i].name, requests_[i].args));
  }

  // Runs every request `rounds` times on each of `threads` threads, each
  // thread from its own starting point; counts refusals and wrong answers.
  void RunCodecs(int threads, int rounds, std::atomic<int>& wrong) {
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t)
      running.emplace_back([&, t] {
        for (int round = 0; round < rounds; ++round)
          for (size_t i = 0; i < requests_.size(); ++i) {
            const size_t k = (i + size_t(t) * 5) % requests_.size();
            const CallOutcome outcome = host().Call(requests_[k].name, requests_[k].args);
            if (!outcome.ok() || outcome.result != expected_[k]) ++wrong;
          }
      });
    for (auto& thread : running) thread.join();
  }

  std::vector<Request> requests_;
  std::vector<std::optional<Value>> expected_;
};

TEST_F(ConcurrentCallers, CodecThreadsBesideTheMainProcessCommands) {
  Prepare();
  ASSERT_GT(requests_.size(), 30u);
  for (size_t i = 0; i < requests_.size(); ++i) ASSERT_TRUE(expected_[i].has_value()) << requests_[i].name;
  host().SetVariable(kPrintRootVariable, Value::TextUtf8("C:\\Print\\"));
  host().SetVariable(kPrintSpoolVariable, Value::TextUtf8("C:\\Print\\Spool\\"));
  // What the main process answers alone, for every command not thread-safe.
  std::vector<TypicalCall> mainCalls;
  for (const TypicalCall& call : TypicalCalls())
    if (!FindCommand(call.routine)->threadSafe && call.prelude == Prelude::kNone) mainCalls.push_back(call);
  std::vector<CallOutcome> alone;
  for (const TypicalCall& call : mainCalls) alone.push_back(Call(call.routine, call.args));
  host().Select(abi::kSelectorInit);  // the main process starts over: discovery runs again

  std::atomic<int> wrong{0};
  std::atomic<int> mainWrong{0};
  std::thread mainProcess([&] {
    for (int round = 0; round < 3; ++round)
      for (size_t i = 0; i < mainCalls.size(); ++i) {
        const CallOutcome outcome = host().Call(mainCalls[i].routine, mainCalls[i].args);
        if (!outcome.ok() || outcome.result != alone[i].result || outcome.args != alone[i].args) ++mainWrong;
      }
  });
  RunCodecs(7, 3, wrong);
  mainProcess.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(mainWrong.load(), 0);
  EXPECT_TRUE(NoLiveObjects());
}

// The same codec requests from four threads at once on the static copy, whose
// heap count each worker reads for itself: a block a codec call leaves behind
// on any path fails here in every build, not only under LeakSanitizer.
TEST(ConcurrentCallersOnTheStaticCopy, EachWorkerFreesWhatItAllocated) {
  std::unique_ptr<Host> h = NewStaticPluginHost();
  const std::vector<Request> requests = CodecRequests();
  std::atomic<int> refused{0}, unbalanced{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&] {
      const long before = PluginLiveBlocksOnThisThread();
      for (const Request& r : requests) refused += !h->Call(r.name, r.args).ok();
      unbalanced += PluginLiveBlocksOnThisThread() != before;
    });
  for (auto& worker : workers) worker.join();
  h->Select(abi::kSelectorDeinit);
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(unbalanced.load(), 0);
}

}  // namespace
}  // namespace lqm::testing
