#!/usr/bin/env bash
# Checks that the codecs' bytes do not depend on the machine's byte order.
#
# Cross-compiles, for big-endian s390x with Debian's g++-s390x-linux-gnu,
#   1. scripts/big-endian-outputs.cpp: hex of CRC values, sealed and opened
#      envelopes, LZW streams and their expansion, Base64, for fixed inputs;
#   2. the codec unit tests (tests/codecs, without those that need the
#      development host) against GoogleTest built from
#      /usr/src/googletest with the same compiler,
# runs both under qemu-user, and compares (1) with the same program built
# natively on x86-64: the outputs must be identical byte for byte.
#
#   scripts/big-endian.sh [OUTPUT_DIR]     (default build-bigendian)
#
# Needs: g++-s390x-linux-gnu qemu-user (apt-get install). CI does not run it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-bigendian}
mkdir -p "$out"
cross=s390x-linux-gnu-g++
for tool in $cross qemu-s390x g++; do
  command -v "$tool" >/dev/null || { echo "missing $tool: apt-get install g++-s390x-linux-gnu qemu-user" >&2; exit 2; }
done

# The plugin's codecs and the little of the frame they use.
sources=(src/codecs/base64.cpp src/codecs/base64_avx2.cpp src/codecs/base64_vbmi.cpp
         src/codecs/byte_order.cpp src/codecs/codec_cpu.cpp src/codecs/crc.cpp
         src/codecs/crc_fold_x86.cpp src/codecs/envelope.cpp src/codecs/lzw.cpp
         src/codecs/tea.cpp src/codecs/tea_lanes.cpp
         src/frame/state.cpp src/frame/plugin_heap.cpp)
flags=(-std=c++17 -O2 -Isrc -Itests -DLQM_TEST_VECTORS_DIR="\"$PWD/tests/vectors\"")

echo "== outputs: native x86-64 and s390x"
g++ "${flags[@]}" scripts/big-endian-outputs.cpp "${sources[@]}" -o "$out/outputs-native"
$cross "${flags[@]}" -static scripts/big-endian-outputs.cpp "${sources[@]}" -o "$out/outputs-s390x"
"$out/outputs-native" >"$out/outputs-native.txt"
qemu-s390x "$out/outputs-s390x" >"$out/outputs-s390x.txt"
# The programs must really run on machines of opposite byte order.
file "$out/outputs-s390x" | grep -q "MSB" || { echo "s390x binary is not big-endian" >&2; exit 1; }
if cmp -s "$out/outputs-native.txt" "$out/outputs-s390x.txt"; then
  echo "identical: $(wc -l <"$out/outputs-native.txt") lines, $(wc -c <"$out/outputs-native.txt") bytes"
else
  echo "DIFFERENT outputs on s390x:" >&2
  diff "$out/outputs-native.txt" "$out/outputs-s390x.txt" | head -20 >&2
  exit 1
fi

echo "== codec unit tests on s390x"
gtest=/usr/src/googletest/googletest
if [ ! -f "$out/gtest-all.o" ]; then
  $cross -std=c++17 -O1 -I$gtest/include -I$gtest -c $gtest/src/gtest-all.cc -o "$out/gtest-all.o"
fi
tests=()
for test in tests/codecs/*_test.cpp; do
  # Tests that drive commands through the development host stay on x86-64.
  grep -qE 'host_fixture|static_plugin|lqm-host/' "$test" && continue
  tests+=("$test")
done
$cross "${flags[@]}" -static -I$gtest/include "${tests[@]}" scripts/big-endian-test-main.cpp "${sources[@]}" \
  "$out/gtest-all.o" -pthread -o "$out/codec-tests-s390x"
qemu-s390x "$out/codec-tests-s390x" --gtest_brief=1
