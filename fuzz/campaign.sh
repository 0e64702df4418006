#!/usr/bin/env bash
# One campaign run of one fuzz target, and its record.
#
#   fuzz/campaign.sh TARGET SECONDS
#
# Builds the target as run.sh does (build-fuzz/, ASan, UBSan, libFuzzer),
# fuzzes it in one process for SECONDS from the committed seeds in
# fuzz/corpus/TARGET/ and the working corpus build-fuzz/corpus/TARGET/, then
# minimizes both into a fresh folder and, only if that succeeded, makes the
# result the committed corpus. Files named regress-* are kept under their
# names (they document what they catch); every other seed may be replaced
# by smaller inputs with the same coverage.
#
# The minimizing merge (-set_cover_merge=1 -use_counters=0) keeps a small
# set of inputs that reaches every edge the two corpora reach, not every hit
# count: an order of magnitude fewer bytes in the repository (and in each
# test run's replay) for the same edges. The working corpus keeps all the
# inputs with their counter features, so the next campaign on the same
# machine resumes with everything.
# Finally one line goes to fuzz/campaign.tsv: date, target, seconds,
# executions, corpus files and bytes after minimizing, the coverage (cov:
# edges, ft: features) libFuzzer reports when loading the minimized corpus,
# and the processor seconds the fuzzer used. fuzz/campaign_table.py turns
# that file into docs/fuzzing.md's table.
#
# A finding stops the script before the merge, with the input saved as
# build-fuzz/artifacts/TARGET/crash-* and the run's log beside it; nothing
# is recorded then. Review and commit the corpus and campaign.tsv afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ] || ! [[ "$2" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: fuzz/campaign.sh TARGET SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2
committed=fuzz/corpus/$target
if [ ! -d "$committed" ]; then
  echo "no seeds in $committed" >&2
  exit 2
fi
JOBS=${JOBS:-1} fuzz/run.sh build "$target"

binary=build-fuzz/bin/${target}_fuzz
working=build-fuzz/corpus/$target
artifacts=build-fuzz/artifacts/$target
mkdir -p "$working" "$artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
options=(-timeout=10 -rss_limit_mb=2048)

log=$artifacts/campaign.log
echo "== $target: ${seconds}s (log: $log)"
# The processor time the fuzzer got is recorded beside the wall time: on a
# shared machine the two differ, and the campaign's hours are CPU-hours.
set +e
TIMEFORMAT='%U %S'
{ time "$binary" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$working" "$committed" >"$log" 2>&1; } 2>"$artifacts/cpu-time"
status=$?
set -e
cpu=$(awk '{printf "%d", $1 + $2}' "$artifacts/cpu-time")
if [ "$status" -ne 0 ]; then
  grep -E '(==[0-9]+==ERROR|SUMMARY|answer check failed|Test unit written)' "$log" || true
  echo "$target: the fuzzer stopped with status $status; nothing merged or recorded" >&2
  exit 1
fi
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)

fresh=$(mktemp -d build-fuzz/merge-"$target".XXXXXX)
trap 'rm -rf "$fresh"' EXIT
find "$committed" -maxdepth 1 -type f -name 'regress-*' -exec cp {} "$fresh"/ \;
"$binary" "${options[@]}" -set_cover_merge=1 -use_counters=0 "$fresh" "$committed" "$working" >"$artifacts/merge.log" 2>&1
if [ -z "$(ls -A "$fresh")" ]; then
  echo "$target: the merge left no inputs; the committed corpus is unchanged" >&2
  exit 1
fi
"$binary" "${options[@]}" -runs=0 "$fresh" >"$artifacts/coverage.log" 2>&1
coverage=$(grep -E '(INITED|DONE) +cov: ' "$artifacts/coverage.log" | tail -1)
cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$coverage")
ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$coverage")

rm -rf "$committed"
mv "$fresh" "$committed"
chmod 755 "$committed"
trap - EXIT
files=$(find "$committed" -type f | wc -l)
bytes=$(find "$committed" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')

record=fuzz/campaign.tsv
[ -f "$record" ] || printf 'date\ttarget\tseconds\texecutions\tfiles\tbytes\tcov\tft\tcpu_seconds\n' >"$record"
printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%MZ)" "$target" "$seconds" \
  "${executions:-0}" "$files" "$bytes" "${cov:-?}" "${ft:-?}" "$cpu" >>"$record"
echo "$target: ${executions:-?} executions; corpus $files files, $bytes bytes; cov $cov ft $ft"
