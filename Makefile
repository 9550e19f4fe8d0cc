# Entry points: `make run` starts the utility, `make test` runs the whole suite headless,
# `make package` builds a Debian package.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BENCH_BUILD ?= build-bench
BENCH_TARGETS = vornik vornikctl vornikd bench_pacing bench_log bench_scan bench_startup \
                bench_service bench_text tst_chainmodel

CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

# make's "Entering directory" lines, for this make and the one CMake runs, only with V=1.
ifneq ($(V),1)
MAKEFLAGS += --no-print-directory
endif

.PHONY: all deps configure build test run package bench mutants soak clean

all: build

# Checks the Debian packages every time (quick, and silent when none is missing) and installs
# the missing ones before CMake first looks for them.
deps:
	@bash scripts/install-deps.sh --log $(BUILD)/install-deps.log

# Once configured, the build folder's stamp skips this, and CMake re-runs itself when needed.
$(BUILD)/.configured: | deps
	@$(CONFIGURE)
	@touch $@

configure: deps $(BUILD)/.configured

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
	@cd $(BUILD) && cpack -G DEB

# Benchmarks in their own release build; they print one table and write bench/results.md.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVORNIK_BENCH=ON
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target $(BENCH_TARGETS)
	@bash bench/run.sh $(BENCH_BUILD)

# vornikd under random clients and injected faults for SOAK_SECONDS (the suite runs 60 s of it);
# prints one table and judges memory and descriptors too. VORNIK_SOAK_SEED picks another run.
SOAK_SECONDS ?= 1800
soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target vornikd vornikctl tst_soak
	@cd $(BUILD)/tests && QT_QPA_PLATFORM=offscreen VORNIK_SOAK_SECONDS=$(SOAK_SECONDS) \
		VORNIK_SOAK_JUDGE=all QTEST_FUNCTION_TIMEOUT=$$(( ($(SOAK_SECONDS) + 600) * 1000 )) ./tst_soak

# Breaks the code one fault at a time (tests/mutants.txt) and shows which tests catch each.
mutants: configure
	@bash scripts/mutants.sh

clean:
	rm -rf $(BUILD)
