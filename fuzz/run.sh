#!/usr/bin/env bash
# Builds the fuzz targets with AddressSanitizer, UndefinedBehaviorSanitizer
# and libFuzzer in build-fuzz/ (clang), then runs each target in turn for the
# given number of seconds (default 60), one job at a time.
#
#   fuzz/run.sh [SECONDS] [TARGET...]
#   fuzz/run.sh build [TARGET...]   configure and build only (campaign.sh)
#
# Each run starts from the committed seeds in fuzz/corpus/<target>/ and
# grows a working corpus in build-fuzz/corpus/<target>/ (not committed). A
# crash or a failed answer check stops the script with the input saved as
# build-fuzz/artifacts/<target>/crash-*; fix the fault, then copy the input
# into fuzz/corpus/<target>/ so the test suite replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(lzw_expand lzw_roundtrip base64 envelope resfile_reader rescomp_source
           session_line plugin_sequence cpu_paths lzw_tiff crc32_zlib)
fi
jobs=${JOBS:-2}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLQM_FUZZ=ON -DLQM_SANITIZE=ON -DLQM_BUILD_TESTS=OFF -DLQM_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target $(printf '%s_fuzz ' "${targets[@]}") >/dev/null
[ "$seconds" = build ] && exit 0

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  echo "== $target: ${seconds}s"
  # Only libFuzzer's summary and any finding are shown, not its progress lines.
  set +e
  build-fuzz/bin/${target}_fuzz -max_total_time="$seconds" -jobs=1 -workers=1 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "fuzz/corpus/$target" >"$artifacts/last-run.log" 2>&1
  status=$?
  set -e
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|.*answer check failed|Test unit written)' \
    "$artifacts/last-run.log" || true
  if [ "$status" -ne 0 ]; then
    echo "$target: the fuzzer stopped with status $status; log and input in $artifacts/" >&2
    exit 1
  fi
done
