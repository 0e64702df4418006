// Command level: the codec commands called through FourDPackex and the
// development host's in-process API, so the BLOB copies and host calls are
// in the time, beside an empty command (the reserved slot 9) for the fixed
// cost of a call. Compare with the kernels plus one memcpy of the input.
#if defined(LQM_BENCH_COMMANDS)
#include <memory>
#include <string>

#include "bench_support.h"
#include "lqm-host/lib/host.h"

namespace {

namespace host = lqm::host;

host::Host& LoadedHost() {
  static std::unique_ptr<host::Host> loaded = [] {
    auto made = std::make_unique<host::Host>();
    std::string error;
    if (!made->LoadPlugin(host::DefaultPluginPath(), error)) return std::unique_ptr<host::Host>();
    made->Select(-1);
    return made;
  }();
  return *loaded;
}

void RunCommand(benchmark::State& state, int32_t routine, std::vector<host::Value> (*arguments)(const BenchBytes&)) {
  if (&LoadedHost() == nullptr) {
    state.SkipWithError("plugin not found");
    return;
  }
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  const std::vector<host::Value> args = arguments(data);
  for (auto _ : state) benchmark::DoNotOptimize(LoadedHost().Call(routine, args));
  SetThroughput(state, data.size());
}

std::vector<host::Value> CrcArguments(const BenchBytes& data) {
  return {host::Value::Blob(data), host::Value::Integer(2), host::Value::Integer(1)};
}
std::vector<host::Value> BlobArgument(const BenchBytes& data) { return {host::Value::Blob(data)}; }
std::vector<host::Value> NoArguments(const BenchBytes&) { return {host::Value::Longint(0)}; }

void CrcCommand(benchmark::State& state) { RunCommand(state, 46, CrcArguments); }
void Base64EncodeCommand(benchmark::State& state) { RunCommand(state, 25, BlobArgument); }
void EmptyCommand(benchmark::State& state) { RunCommand(state, 9, NoArguments); }

void CommandSizes(benchmark::internal::Benchmark* bench) {
  for (int64_t size : {int64_t{64}, int64_t{1} << 20, int64_t{1} << 26}) bench->Arg(size);
}

}  // namespace

BENCHMARK(CrcCommand)->Name("command-crc32:ours")->Apply(CommandSizes);
BENCHMARK(Base64EncodeCommand)->Name("command-b64encode:ours")->Apply(CommandSizes);
BENCHMARK(EmptyCommand)->Name("command-empty:ours")->Arg(64);
#endif
