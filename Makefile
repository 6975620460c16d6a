# The two commands of the quick start: `make run` and `make test`.
BUILD_DIR ?= build
PRESET    ?= default
PREFIX    ?= /opt/tessaro

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@[ -f $(BUILD_DIR)/build.ninja ] || cmake --preset $(PRESET)

build: configure
	@cmake --build $(BUILD_DIR)

run: build
	@scripts/seed-example $(BUILD_DIR)
	@cd $(BUILD_DIR) && ./tessaro

test: build
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure

# The whole suite built under AddressSanitizer and UndefinedBehaviorSanitizer (gcc) in build-asan: any report, a
# leak included, fails its test. The test preset holds the sanitizers' options.
.PHONY: test-asan
test-asan: deps
	@[ -f build-asan/build.ninja ] || cmake --preset asan
	@cmake --build build-asan
	@ctest --preset asan

bench: configure
	@cmake --build $(BUILD_DIR) --target benchmarks

clean:
	@rm -rf $(BUILD_DIR)

# A portable tool folder at PREFIX (executables at its top, beside MASTER and PROJECTS), and the same as a TGZ.
.PHONY: install package

install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

package: build
	@cmake --build $(BUILD_DIR) --target package
