# The two commands a newcomer needs: `make run` and `make test`.
# Both install missing Debian packages first, then configure and build with Ninja.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-asan fuzz bench screenshots package clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-till $(BUILD_DIR)

# The tests run against a throwaway PostgreSQL cluster as well as on SQLite.
test: build
	scripts/with-test-postgres sh -c 'cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600'

# The test suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in its own
# folder. Slower than `make test`, so not part of CI; ASAN_TESTS picks tests (a ctest -R regex).
ASAN_DIR ?= build-asan
ASAN_TESTS ?= .
test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOREL_SANITIZE=ON -DVOREL_BUILD_BENCH=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  scripts/with-test-postgres sh -c 'cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 1200 -R "$(ASAN_TESTS)"'

# libFuzzer on the tokenizer and translator, the INI reader, the receipt renderer and the
# service's request decoding, FUZZ_SECONDS each (clang, in its own folder). An input that
# breaks something is left as fuzz-crash-* in $(FUZZ_DIR)/fuzz/; fix it, then keep it
# under fuzz/regressions/<target>/ where `make test` replays it.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= sql ini receipt wire
fuzz:
	@scripts/install-deps fuzz
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVOREL_FUZZ=ON -DVOREL_BUILD_TESTS=OFF -DVOREL_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers
	fuzz/run $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: build
	@scripts/run-bench $(BUILD_DIR)

# Pictures of the till under Xvfb at 1024x768 and 1366x768, to look at.
screenshots: build
	@scripts/make-screenshots $(BUILD_DIR) $(BUILD_DIR)/screenshots

# The Debian packages vorel-data, vorel-pos and vorel-server, in $(BUILD_DIR)/packages.
package: build
	cd $(BUILD_DIR) && cpack

clean:
	rm -rf $(BUILD_DIR)
