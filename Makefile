# Entry points: `make run` starts the utility, `make test` runs the whole suite headless,
# `make package` builds a Debian package.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BENCH_BUILD ?= build-bench
BENCH_TARGETS = vornik vornikctl bench_pacing bench_log bench_scan bench_startup

CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

.PHONY: all deps configure build test run package bench mutants clean

all: build

deps:
	@bash scripts/install-deps.sh

# The package installer runs only when CMake cannot configure the build (a fresh machine);
# once configured, the build folder's stamp skips it, and CMake re-runs itself when needed.
$(BUILD)/.configured:
	@$(CONFIGURE) || { bash scripts/install-deps.sh && rm -f $(BUILD)/CMakeCache.txt && $(CONFIGURE); }
	@touch $@

configure: $(BUILD)/.configured

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Only the utility and the virtual chain, not the test programs.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target vornik vornik-chain
	@bash scripts/run.sh $(BUILD)

# A Debian package in $(BUILD): apt-get install ./$(BUILD)/vornik_*.deb
# (dpkg-shlibdeps from dpkg-dev reads the dependencies from the programs).
package: build
	@bash scripts/install-deps.sh
	@cd $(BUILD) && cpack -G DEB

# Benchmarks in their own release build; they print one table and write bench/results.md.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVORNIK_BENCH=ON
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	@bash bench/run.sh $(BENCH_BUILD)

# Breaks the code one fault at a time (tests/mutants.txt) and shows which tests catch each.
mutants: configure
	@bash scripts/mutants.sh

clean:
	rm -rf $(BUILD)
