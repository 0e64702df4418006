#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need, when
# they are missing. The plugin itself needs none of them: only its tools,
# tests and benchmarks do.
set -euo pipefail
packages=(
  cmake g++ make ccache python3
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64   # the Windows .4DX (windres: its version resource)
  wine wine64                                              # runs the Windows tests
  osslsigncode openssl                                     # signs the .4DX (make dist), its test
  libgtest-dev libgmock-dev googletest                     # tests, both builds
  nlohmann-json3-dev                                       # lqm-host's protocol
  libtiff-dev zlib1g-dev pkg-config                        # interop tests, benchmarks
  libbenchmark-dev                                         # benchmarks
  libisal-dev libcrcutil-dev libmodpbase64-dev libcrypto++-dev libssl-dev zlib1g-dev libtiff-dev  # benchmark yardsticks
  clang libclang-rt-14-dev                                 # fuzz targets: clang, libFuzzer and sanitizer runtimes
  gcovr                                                    # make coverage: line and branch coverage of src/
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
