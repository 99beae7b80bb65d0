# The two commands a newcomer needs: `make run` and `make test`.
# Both install missing Debian packages first, then configure and build with Ninja.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench screenshots package clean

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
