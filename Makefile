# make run   installs what is missing, builds, and opens the demo archive
# make test  installs what is missing, builds, runs every test, then again
#            under AddressSanitizer and UndefinedBehaviorSanitizer
# make bench builds and runs the benchmarks

BUILD_DIR := build
ASAN_DIR  := build-asan
JOBS      ?= $(shell nproc)
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
ifneq ($(CI),)
CMAKE_FLAGS += -DZENTARRA_WERROR=ON
endif

# any sanitizer report fails the run
export ASAN_OPTIONS  := detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS := halt_on_error=1:print_stacktrace=1

.PHONY: all deps build build-asan run test test-release test-asan bench demo clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_FLAGS) -DZENTARRA_SANITIZE=ON -DZENTARRA_BENCH=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/src/cli/zentarra-cli list samples/demo.brres

test: test-release test-asan

test-release: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/zentarra-bench

# rewrites the shipped demo archive from the test-only writer
demo: build
	$(BUILD_DIR)/tests/make-demo samples/demo.brres

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
