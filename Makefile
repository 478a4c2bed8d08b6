# The two commands of the README, and a few helpers around CMake.
PRESET ?= default
BUILD_DIR := build/$(PRESET)

.PHONY: run test deps build asan-test tsan-test fuzz bench format clean package package-check windows-test

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

# Builds and starts the program against the built-in simulated instrument.
run: build
	@./scripts/run.sh $(BUILD_DIR)/ostra

# Builds and runs every test.
test: build
	@ctest --preset $(PRESET)

asan-test: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan

# The core tests (no GUI) under the thread sanitizer.
tsan-test: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan
	@ctest --preset tsan

# Builds the fuzz targets (clang, libFuzzer) and runs each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 300
fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@./fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

# Builds the Debian package into build/<preset>/ (CPack).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# The package's checks: lintian, the desktop entry, the metainfo, and the
# program started from the unpacked package.
package-check: package
	@./scripts/check-package.sh $(BUILD_DIR)

# The core and its tests cross-built for Windows and run under wine, in a
# wine prefix of their own that is removed afterwards.
windows-test: deps
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows
	@prefix="$$(mktemp -d)"; trap 'rm -rf "$$prefix"' EXIT; \
	  WINEPREFIX="$$prefix" ctest --preset windows

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done
	@echo "== $(BUILD_DIR)/bench/whole_program_bench (under xvfb-run)"
	@xvfb-run -a -s "-screen 0 1600x1200x24" $(BUILD_DIR)/bench/whole_program_bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
