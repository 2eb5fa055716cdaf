# VembDlg - one entry over the two builds.
#   make            build everything (i686 cross-build and native)
#   make check      run every test: native GoogleTest and the Wine tests, one ctest run
#   make demo       run the "Loomstar Link" demo host on the machine simulator
#   make bench      run the benchmarks: Google Benchmark natively, timed loops under Wine
#   make dist       the release package build/win32/dist/VembDlg-<version>-sdk.zip
#   make soak       a long seeded soak under faults: make soak SEED=7 STEPS=1000
# BUILD selects the build folder (default: build); the Wine prefix lives inside it.
BUILD   ?= build
JOBS    ?= $(shell nproc)
B       := $(abspath $(BUILD))
WIN32   := $(B)/win32
NATIVE  := $(B)/native
export VEMB_WINEPREFIX ?= $(B)/wineprefix

.PHONY: all setup build win32 native prefix check check-native check-wine demo sdk dist soak clean

all: build

setup:
	@tools/setup

win32: setup
	cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-mingw32.cmake \
	      -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN32) -j $(JOBS)

native: setup
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEMB_WIN32_BIN=$(WIN32)/bin \
	      -DVEMB_WIN32_BUILD=$(WIN32)
	cmake --build $(NATIVE) -j $(JOBS)

build: win32 native

prefix: setup
	@tools/wine-prefix

# The Wine server is kept alive between test programs; it is stopped at the end.
check: build prefix
	cd $(NATIVE) && status=0; xvfb-run -a -s "-screen 0 1280x1024x24" \
	    ctest --output-on-failure --timeout 300 -j $(JOBS) $(CTEST_ARGS) || status=$$?; \
	    WINEPREFIX=$(VEMB_WINEPREFIX) wineserver -k 2>/dev/null; \
	    $(CURDIR)/tools/matrix-coverage $(NATIVE); exit $$status

check-native: native
	cd $(NATIVE) && ctest --output-on-failure -L native -j $(JOBS) $(CTEST_ARGS)

check-wine: build prefix
	cd $(NATIVE) && status=0; xvfb-run -a -s "-screen 0 1280x1024x24" \
	    ctest --output-on-failure --timeout 300 -L wine $(CTEST_ARGS) || status=$$?; \
	    WINEPREFIX=$(VEMB_WINEPREFIX) wineserver -k 2>/dev/null; exit $$status

# The host SDK folder: the DLL, its header, import library and .def, the simulator.
sdk: win32
	rm -rf $(B)/sdk
	cmake --install $(WIN32) --prefix $(B)/sdk

# The release package: the SDK folder, CHANGELOG.md, LICENSE and SHA256SUMS in one zip
# named after the version in include/VembDlg.h.
dist: win32
	cmake --build $(WIN32) --target dist

demo: build prefix
	tools/demo $(WIN32)/bin $(NATIVE)

# Not tests: figures for docs/PERFORMANCE.md. Run them on a quiet machine.
bench: build prefix
	$(NATIVE)/design_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	tools/wine-run $(WIN32)/bin/wine_bench.exe

# The soak of tests/wine/soak_test.cpp with a seed and a length of one's choosing (make check
# runs 150 steps of seed 1); a failure prints the command that replays it.
SEED  ?= 1
STEPS ?= 1000
soak: build prefix
	VEMB_SOAK_SEED=$(SEED) VEMB_SOAK_STEPS=$(STEPS) tools/wine-run $(WIN32)/bin/soak_test.exe --gtest_color=no

clean:
	rm -rf $(B)
