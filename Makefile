# Entry points: `make run` starts the utility, `make test` runs the whole suite headless.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BENCH_BUILD ?= build-bench
BENCH_TARGETS = vornik bench_pacing bench_log bench_scan bench_startup

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

# Benchmarks in their own release build; they print one table and write bench/results.md.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVORNIK_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	@bash bench/run.sh $(BENCH_BUILD)

clean:
	rm -rf $(BUILD)
