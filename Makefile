# The two commands of the quick start: `make run` and `make test`.
BUILD_DIR ?= build
PRESET    ?= default
PREFIX    ?= /opt/tessaro

.PHONY: all deps test-deps configure configure-tests build run test bench clean

all: build

# `make run` installs only what building and running need, and builds without the tests and benchmarks when the
# build folder is new; `make test` adds the test packages and turns them on.
deps:
	@scripts/install-deps run

test-deps:
	@scripts/install-deps test

configure: deps
	@[ -f $(BUILD_DIR)/build.ninja ] || cmake --preset $(PRESET) -DTESSARO_BUILD_TESTS=OFF -DTESSARO_BUILD_BENCHMARKS=OFF

configure-tests: test-deps
	@grep -qs '^TESSARO_BUILD_TESTS:BOOL=ON' $(BUILD_DIR)/CMakeCache.txt && \
	 grep -qs '^TESSARO_BUILD_BENCHMARKS:BOOL=ON' $(BUILD_DIR)/CMakeCache.txt || \
	 cmake --preset $(PRESET) -DTESSARO_BUILD_TESTS=ON -DTESSARO_BUILD_BENCHMARKS=ON

build: configure
	@cmake --build $(BUILD_DIR)

run: build
	@scripts/seed-example $(BUILD_DIR)
	@cd $(BUILD_DIR) && ./tessaro

test: configure-tests
	@cmake --build $(BUILD_DIR)
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure

# The whole suite built under AddressSanitizer and UndefinedBehaviorSanitizer (gcc) in build-asan: any report, a
# leak included, fails its test. The test preset holds the sanitizers' options.
.PHONY: test-asan
test-asan: test-deps
	@[ -f build-asan/build.ninja ] || cmake --preset asan
	@cmake --build build-asan
	@ctest --preset asan

bench: configure-tests
	@cmake --build $(BUILD_DIR) --target benchmarks

clean:
	@rm -rf $(BUILD_DIR)

# A portable tool folder at PREFIX (executables at its top, beside MASTER and PROJECTS), and the same as a TGZ.
.PHONY: install package

install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

package: build
	@cmake --build $(BUILD_DIR) --target package
