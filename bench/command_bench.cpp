// Command level: the five codec commands called through FourDPackex and the
// development host's in-process API, so the parameter copies and host calls
// are in the time, beside an empty command (the reserved slot 9) for the
// fixed cost of a call, and the same commands on several threads at once
// ("scaling-" cases: each thread its own input, as preemptive 4D processes
// each hold their own BLOBs). The BLOB arguments are moved into the call and taken
// back from its outcome, so the host's own copy of them (which 4D, holding
// BLOBs as handles already, does not make) is not in the time. report.py compares each with its kernel plus one
// memcpy of the input. Command 45 also reports its peak resident size over
// the input ("peak" counter, Linux only; 0 where getrusage has no answer).
//
// The command cases run with glibc's allocator told to keep what is freed
// (no mmap for large blocks, no trimming, one arena for all threads), as a
// long-running 4D keeps its memory: otherwise every 64 MiB block is a fresh
// mapping, and its page faults (kernel page clearing, about 2.7 us a page in this VM) cost more
// than the codecs and make the per-size ratios hostage to glibc's dynamic
// thresholds. The setting is made once, by the first command case; `make
// bench` runs the memory and command cases in a process of their own, after
// the kernel cases, and the memory case is registered first so that it
// still measures the default allocator.
#if defined(LQM_BENCH_COMMANDS)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

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

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "lqm_bench: %s\n", message.c_str());
  std::abort();
}

// How much discovery work the host has seen: the 4D commands the plugin
// ran by name and the paths it tested. Constant across a call that finds
// its resources open.
size_t DiscoveryWork(const host::Host& loaded) {
  const host::Stats stats = loaded.GetStats();
  size_t work = stats.pathsTested.size();
  for (const auto& [name, count] : stats.commandsRun) work += static_cast<size_t>(count);
  return work;
}

// The plugin loaded from this build's application folder (build-bench/app,
// the host's default), whose bundle holds the resource files (the lqm_bundle
// target). Discovery runs once, here: routine 9 needs the resources, so it
// sets its result only when discovery found them. Without them every call
// of a RESOURCES routine would repeat discovery (tens of microseconds), and
// the empty call would measure that instead of the cost of a call, so the
// run stops instead.
host::Host& LoadedHost() {
  static std::unique_ptr<host::Host> loaded = [] {
    auto made = std::make_unique<host::Host>();
    std::string error;
    if (!made->LoadPlugin(host::DefaultPluginPath(), error)) return std::unique_ptr<host::Host>();
    made->Select(-1);
    const host::CallOutcome first = made->Call(9, std::vector<host::Value>{host::Value::Longint(0)});
    if (!first.ok() || !first.result) {
      Fail("the plugin's discovery found no resources under " + made->GetSettings().appFolder.u8string() +
           " (build the lqm_bundle target); the empty call would time discovery");
    }
    return made;
  }();
  return *loaded;
}

void KeepFreedMemory() {
#if defined(__GLIBC__)
  static const bool kept = [] {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT32_MAX);
    // One arena for every thread: glibc gives other threads arenas of their
    // own, which hold at most 64 MiB a heap and so map every larger block
    // afresh whatever M_MMAP_MAX says; the second thread of a scaling case
    // then paid page faults on each 64 MiB call (six times the faults of
    // one thread, three times its CPU time) that the first did not.
    mallopt(M_ARENA_MAX, 1);
    return true;
  }();
  (void)kept;
#endif
}

// The timed calls of every command case. The BLOBs move into the call's
// handles and come back in the outcome, as 4D hands its BLOB handles over:
// no host copy of the input per call.
void TimeCalls(benchmark::State& state, int32_t routine, std::vector<host::Value> args, size_t bytes) {
  for (auto _ : state) {
    host::CallOutcome outcome = LoadedHost().Call(routine, std::move(args));
    if (!outcome.ok()) {
      state.SkipWithError(outcome.error.c_str());
      return;
    }
    benchmark::DoNotOptimize(outcome.result);
    args = std::move(outcome.args);
  }
  SetThroughput(state, bytes);
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
  TimeCalls(state, routine, std::move(args), data.size());
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
// The yardstick for the 64-byte calls. Routine 9 needs the resources, so it
// is the one routine that does nothing else once discovery is done; the
// codec routines (which need nothing) all read and write parameters and do
// work proportional to them. Its cost is then the fixed price of a call
// (frame, one Longint parameter, the result) whatever the environment: the
// case stops the run if a call repeated any discovery work.
void EmptyCommand(benchmark::State& state) {
  if (&LoadedHost() == nullptr) {
    state.SkipWithError("plugin not found");
    return;
  }
  const size_t before = DiscoveryWork(LoadedHost());
  RunCommand(state, 9, NoArguments);
  if (DiscoveryWork(LoadedHost()) != before) Fail("routine 9 ran discovery again: the empty call is not empty");
}

// ---------------------------------------------------------------------------
// Several threads at once
// ---------------------------------------------------------------------------

// Each thread calls the command on its own copy of the input; the bytes
// processed by all threads over the wall time are the case's throughput, so
// perfect scaling gives N times the single thread's (report.py's scaling
// table divides by that). Inputs and warm-up are prepared by every thread
// before the timing starts, which Google Benchmark begins only when all
// threads reach the loop.
void RunCommandThreads(benchmark::State& state, int32_t routine,
                       std::vector<host::Value> (*arguments)(const BenchBytes&),
                       const BenchBytes& (*input)(size_t, int)) {
  if (&LoadedHost() == nullptr) {
    state.SkipWithError("plugin not found");
    return;
  }
  KeepFreedMemory();
  const BenchBytes& data = input(static_cast<size_t>(state.range(0)), state.thread_index());
  std::vector<host::Value> args = arguments(data);
  {
    host::CallOutcome outcome = LoadedHost().Call(routine, std::move(args));
    args = std::move(outcome.args);
  }
  TimeCalls(state, routine, std::move(args), data.size());
}

std::vector<host::Value> BlobAsIs(const BenchBytes& data) { return {host::Value::Blob(data)}; }

void CrcThreads(benchmark::State& state) { RunCommandThreads(state, 46, CrcArguments, ThreadRandomBytes); }
void Base64EncodeThreads(benchmark::State& state) { RunCommandThreads(state, 25, BlobArgument, ThreadRandomBytes); }
// The input is the thread's own Base64 text, passed as it is.
void Base64DecodeThreads(benchmark::State& state) { RunCommandThreads(state, 26, BlobAsIs, ThreadBase64Text); }
void CipherThreads(benchmark::State& state) { RunCommandThreads(state, 19, CipherArguments, ThreadRandomBytes); }
void LzwThreads(benchmark::State& state) { RunCommandThreads(state, 45, LzwArguments, ThreadRandomBytes); }

// 1 MiB (the target: in cache, where only shared writes can hold threads
// back), 64 MiB (memory bandwidth shared) and 64 bytes (the fixed cost of a
// call alone, where a lock or counter shared by every call shows most), with
// one thread and with as many as the machine has. Three repetitions: the report takes the median
// over whole runs anyway.
void KeepFreedMemoryBeforeThreads(const benchmark::State&) { KeepFreedMemory(); }

void ThreadSizes(benchmark::internal::Benchmark* bench) {
  bench->Arg(64)->Arg(int64_t{1} << 20)->Arg(int64_t{1} << 26);
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  bench->Threads(1);
  if (cores > 1) bench->Threads(cores);
  // The allocator is set before the threads start (Setup runs on the main
  // thread), so that no thread has made an arena of its own yet.
  bench->UseRealTime()->Repetitions(3)->Setup(KeepFreedMemoryBeforeThreads);
}

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
BENCHMARK(CrcThreads)->Name("scaling-crc32:ours")->Apply(ThreadSizes);
BENCHMARK(Base64EncodeThreads)->Name("scaling-b64encode:ours")->Apply(ThreadSizes);
BENCHMARK(Base64DecodeThreads)->Name("scaling-b64decode:ours")->Apply(ThreadSizes);
BENCHMARK(CipherThreads)->Name("scaling-cipher:ours")->Apply(ThreadSizes);
BENCHMARK(LzwThreads)->Name("scaling-lzw:ours")->Apply(ThreadSizes);
#endif
