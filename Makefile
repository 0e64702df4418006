# Entry points for people and CI; the build itself is CMake.
#   make demo    build (Linux) and run the development host's demo
#   make test    build Linux and Windows and run every test of both
#   make bench   build and run the codec benchmarks
JOBS ?= 2
export WINEDEBUG ?= -all

.PHONY: deps linux windows demo test test-linux test-windows bench clean

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

# The benchmarks in their own Release build; medians of 5 repetitions with a
# short minimum time per case (the numbers are for ratios, not records).
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j$(JOBS) --target lqm_bench
	build-bench/bin/lqm_bench --benchmark_min_time=0.05 --benchmark_repetitions=5 \
	  --benchmark_report_aggregates_only=true \
	  --benchmark_out=build-bench/bench.json --benchmark_out_format=json
	python3 bench/report.py build-bench/bench.json docs/benchmarks.md docs/benchmarks.svg

clean:
	rm -rf build build-win
