# Entry points for people and CI; the build itself is CMake.
#   make demo    build (Linux) and run the development host's demo
#   make test    build Linux and Windows and run every test of both
#   make bench   build and run the codec benchmarks
#   make test-asan   the whole suite under ASan, LeakSanitizer and UBSan
#   make test-tsan   the concurrent-caller tests under ThreadSanitizer
#   make coverage    line and branch coverage of src/ by the Linux suite (docs/testing.md)
#   make fuzz-short  every fuzz target for 10 s (clang, ASan, UBSan; fuzz/run.sh)
JOBS ?= 2
export WINEDEBUG ?= -all

.PHONY: coverage fuzz-short deps linux windows demo test test-linux test-windows test-asan test-tsan bench clean

deps:
	scripts/install-deps.sh

linux: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLQM_BUILD_BENCHMARKS=OFF
	cmake --build build -j$(JOBS)

windows: deps
	cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build build-win -j$(JOBS)

demo: linux
	build/bin/lqm-host demo

test-linux: linux
	cd build && ctest --output-on-failure

test-windows: windows
	wineboot -i >/dev/null 2>&1 || true
	cd build-win && ctest --output-on-failure

test: test-linux test-windows

# The distribution zip from the Windows build: dist/VarnelFolioforge-<version>.zip
# With SIGN_PFX=file.pfx SIGN_PASSWORD_FILE=file [SIGN_TIMESTAMP_URL=url] the
# .4DX is signed before it is packed (scripts/sign.sh, docs/signing.md).
.PHONY: dist
dist: windows
	SIGN_PFX="$(SIGN_PFX)" SIGN_PASSWORD_FILE="$(SIGN_PASSWORD_FILE)" SIGN_TIMESTAMP_URL="$(SIGN_TIMESTAMP_URL)" \
	  cmake --build build-win --target dist

test-asan: deps
	cmake --preset asan
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ctest --output-on-failure

test-tsan: deps
	cmake --preset tsan
	cmake --build build-tsan -j$(JOBS) --target lqm_tests
	build-tsan/bin/lqm_tests --gtest_brief=1 --gtest_filter='ConcurrentCallers.*:*Thread*'

# The benchmarks in their own Release build; medians of 5 repetitions of at
# least 0.2 s (the numbers are for ratios, not records). The kernel cases run
# with their repetitions interleaved at random, so that a noisy neighbour
# slows ours and the yardsticks alike instead of whichever ran at the time;
# the memory, command and scaling cases run after them in their own order
# (the memory case measures the default allocator, the command cases change
# it). The whole run is made BENCH_RUNS times, each into its own JSON files;
# report.py judges the targets on the median over the runs. Our kernels are
# measured at every CPU level the machine has; LQM_CPU_LEVEL=sse (portable,
# avx2) in the environment caps the levels, as on an older processor.
BENCH_RUNS ?= 3
BENCH_RUN = build-bench/bin/lqm_bench --benchmark_min_time=0.2 --benchmark_repetitions=5 \
	  --benchmark_report_aggregates_only=true --benchmark_out_format=json
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j$(JOBS) --target lqm_bench
	rm -f build-bench/bench-*.json
	for run in $$(seq 1 $(BENCH_RUNS)); do \
	  $(BENCH_RUN) --benchmark_filter='-^(memory|command|scaling)-' --benchmark_enable_random_interleaving=true \
	    --benchmark_out=build-bench/bench-$$run-kernels.json && \
	  $(BENCH_RUN) --benchmark_filter='^(memory|command|scaling)-' \
	    --benchmark_out=build-bench/bench-$$run-commands.json || exit 1; \
	done
	python3 bench/report.py build-bench/bench-*-kernels.json build-bench/bench-*-commands.json \
	  docs/benchmarks.md docs/benchmarks.svg

# Coverage of src/ by the Linux ctest run, in its own unoptimised gcov build.
# Counters start from zero each run; gcovr reads the .gcda files of the
# objects that both the loaded plugin and the test program's static copy are
# linked from. Writes build-cov/coverage/index.html (per-file pages),
# summary.txt (per file: line and branch figures and the uncovered lines,
# under "Missing") and summary.json; fails below the floors, which are the
# figures reached on an AVX-512 VBMI machine (docs/testing.md).
COVERAGE_FLOORS = --fail-under-line 97 --fail-under-branch 90
coverage: deps
	cmake -S . -B build-cov -DCMAKE_BUILD_TYPE=Debug -DLQM_COVERAGE=ON -DLQM_BUILD_BENCHMARKS=OFF
	cmake --build build-cov -j$(JOBS)
	find build-cov -name '*.gcda' -delete
	cd build-cov && ctest --output-on-failure
	mkdir -p build-cov/coverage
	gcovr --root . --filter 'src/' \
	  --exclude-throw-branches --exclude-unreachable-branches --print-summary \
	  --html-details build-cov/coverage/index.html --txt build-cov/coverage/summary.txt \
	  --json-summary-pretty --json-summary build-cov/coverage/summary.json $(COVERAGE_FLOORS) \
	  build-cov/CMakeFiles/lqm_core.dir

clean:
	rm -rf build build-win

fuzz-short: deps
	fuzz/run.sh 10
