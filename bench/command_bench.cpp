// Command level: the five codec commands called through FourDPackex and the
// development host's in-process API, so the parameter copies and host calls
// are in the time, beside an empty command (the reserved slot 9) for the
// fixed cost of a call. The BLOB arguments are moved into the call and taken
// back from its outcome, so the host's own copy of them (which 4D, holding
// BLOBs as handles already, does not make) is not in the time. report.py compares each with its kernel plus one
// memcpy of the input. Command 45 also reports its peak resident size over
// the input ("peak" counter, Linux only; 0 where getrusage has no answer).
//
// The command cases run with glibc's allocator told to keep what is freed
// (no mmap for large blocks, no trimming), as a long-running 4D keeps its
// memory: otherwise every 64 MiB block is a fresh mapping, and its page
// faults (kernel page clearing, about 2.7 us a page in this VM) cost more
// than the codecs and make the per-size ratios hostage to glibc's dynamic
// thresholds. The setting is made once, by the first command case; `make
// bench` runs the memory and command cases in a process of their own, after
// the kernel cases, and the memory case is registered first so that it
// still measures the default allocator.
#if defined(LQM_BENCH_COMMANDS)
#include <cstdint>
#include <memory>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

void KeepFreedMemory() {
#if defined(__GLIBC__)
  static const bool kept = [] {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT32_MAX);
    return true;
  }();
  (void)kept;
#endif
}

void RunCommand(benchmark::State& state, int32_t routine, std::vector<host::Value> (*arguments)(const BenchBytes&)) {
  if (&LoadedHost() == nullptr) {
    state.SkipWithError("plugin not found");
    return;
  }
  KeepFreedMemory();
  const BenchBytes& data = RandomBytes(static_cast<size_t>(state.range(0)));
  std::vector<host::Value> args = arguments(data);
  // Untimed calls first, so that the host's registry tables and the heap
  // have grown to what a call needs: the first command case otherwise paid
  // for that in its first repetitions.
  for (int warm = data.size() <= 4096 ? 1000 : 1; warm > 0; --warm) {
    host::CallOutcome outcome = LoadedHost().Call(routine, std::move(args));
    args = std::move(outcome.args);
  }
  for (auto _ : state) {
    // The BLOBs move into the call's handles and come back in the outcome,
    // as 4D hands its BLOB handles over: no host copy of the input per call.
    host::CallOutcome outcome = LoadedHost().Call(routine, std::move(args));
    if (!outcome.ok()) {
      state.SkipWithError(outcome.error.c_str());
      return;
    }
    benchmark::DoNotOptimize(outcome.result);
    args = std::move(outcome.args);
  }
  SetThroughput(state, data.size());
}

std::vector<host::Value> CrcArguments(const BenchBytes& data) {
  return {host::Value::Blob(data), host::Value::Integer(2), host::Value::Integer(1)};
}
std::vector<host::Value> BlobArgument(const BenchBytes& data) { return {host::Value::Blob(data)}; }
std::vector<host::Value> Base64TextArgument(const BenchBytes& data) {
  return {host::Value::Blob(Base64Text(data.size(), false))};
}
// The text is the random bytes as Latin letters (the cipher reads UTF-8),
// sealed with Base64 on: the whole envelope as 4D code calls it.
std::vector<host::Value> CipherArguments(const BenchBytes& data) {
  std::string text(data.size(), 'a');
  for (size_t position = 0; position < data.size(); ++position) {
    text[position] = static_cast<char>('a' + data[position] % 26);
  }
  return {host::Value::TextUtf8(text), host::Value::TextUtf8("sixteen byte key"), host::Value::Integer(1),
          host::Value::Integer(1)};
}
// TIFF's stream shape, compressing: mode 1, clear and end codes on and written.
std::vector<host::Value> LzwArguments(const BenchBytes& data) {
  return {host::Value::Integer(1), host::Value::Blob(data), host::Value::Integer(3), host::Value::Integer(3),
          host::Value::Integer(0), host::Value::Integer(0), host::Value::Longint(8), host::Value::Longint(12)};
}
std::vector<host::Value> NoArguments(const BenchBytes&) { return {host::Value::Longint(0)}; }

void CrcCommand(benchmark::State& state) { RunCommand(state, 46, CrcArguments); }
void Base64EncodeCommand(benchmark::State& state) { RunCommand(state, 25, BlobArgument); }
void Base64DecodeCommand(benchmark::State& state) { RunCommand(state, 26, Base64TextArgument); }
void CipherCommand(benchmark::State& state) { RunCommand(state, 19, CipherArguments); }
void LzwCommand(benchmark::State& state) { RunCommand(state, 45, LzwArguments); }
void EmptyCommand(benchmark::State& state) { RunCommand(state, 9, NoArguments); }

// One call of command 45 on 64 MiB in a fresh child process, so that the
// peak resident size is this call's and not an earlier case's: the peak
// over the input size, in the "peak" counter (target: below 3 x input +
// 4 MiB). The benchmark's own buffers (input and its host copy) count too.
void LzwCommandPeak(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  double peakBytes = 0;
  double baseBytes = 0;
  for (auto _ : state) {
#if defined(__linux__)
    state.PauseTiming();
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
      state.SkipWithError("pipe");
      return;
    }
    const pid_t child = fork();
    if (child == 0) {
      close(pipeEnds[0]);
      const BenchBytes& data = RandomBytes(size);
      std::vector<host::Value> args = LzwArguments(data);
      rusage before{};
      getrusage(RUSAGE_SELF, &before);
      LoadedHost().Call(45, std::move(args));
      rusage after{};
      getrusage(RUSAGE_SELF, &after);
      const double sizes[2] = {before.ru_maxrss * 1024.0, after.ru_maxrss * 1024.0};
      const ssize_t written = write(pipeEnds[1], sizes, sizeof sizes);
      _exit(written == static_cast<ssize_t>(sizeof sizes) ? 0 : 1);
    }
    close(pipeEnds[1]);
    double sizes[2] = {0, 0};
    const ssize_t got = read(pipeEnds[0], sizes, sizeof sizes);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got == static_cast<ssize_t>(sizeof sizes)) {
      baseBytes = sizes[0];
      peakBytes = sizes[1];
    }
    state.ResumeTiming();
#endif
  }
  // The call's own peak: what the process held at its peak beyond what it
  // held before the call (the input, its host value and the loaded plugin).
  state.counters["peak_over_input"] = (peakBytes - baseBytes) / static_cast<double>(size);
  state.counters["peak_mib"] = peakBytes / 1048576.0;
  state.counters["before_mib"] = baseBytes / 1048576.0;
}

void CommandSizes(benchmark::internal::Benchmark* bench) {
  for (int64_t size : {int64_t{64}, int64_t{1} << 20, int64_t{1} << 26}) bench->Arg(size);
}

}  // namespace

BENCHMARK(LzwCommandPeak)->Name("memory-lzw:ours")->Arg(int64_t{1} << 26)->Iterations(1)->Repetitions(1);
BENCHMARK(CrcCommand)->Name("command-crc32:ours")->Apply(CommandSizes);
BENCHMARK(Base64EncodeCommand)->Name("command-b64encode:ours")->Apply(CommandSizes);
BENCHMARK(Base64DecodeCommand)->Name("command-b64decode:ours")->Apply(CommandSizes);
BENCHMARK(CipherCommand)->Name("command-cipher:ours")->Apply(CommandSizes);
BENCHMARK(LzwCommand)->Name("command-lzw:ours")->Apply(CommandSizes);
BENCHMARK(EmptyCommand)->Name("command-empty:ours")->Arg(64);
#endif
