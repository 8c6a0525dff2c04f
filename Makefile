# make run   installs what is missing, builds, and opens the demo archive in
#            the viewer (without a display: renders it to build/demo.png)
# make test  installs what is missing (the tests' npm packages too), builds, runs every test, then again
#            under AddressSanitizer and UndefinedBehaviorSanitizer
# make bench builds and runs the benchmarks
# make fuzz  runs every fuzz target for FUZZ_SECONDS (default 60) each

BUILD_DIR := build
ASAN_DIR  := build-asan
FUZZ_DIR  := build-fuzz
JOBS      ?= $(shell nproc)
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
ifneq ($(CI),)
CMAKE_FLAGS += -DZENTARRA_WERROR=ON
endif

# any sanitizer report fails the run
export ASAN_OPTIONS  := detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS := halt_on_error=1:print_stacktrace=1

# libFuzzer: the targets, their seeds (made from ../shared/corpus at build
# time), and where a long run keeps what it finds: outside the repository
FUZZ_TARGETS := archive model texture animation pose containers
FUZZ_SECONDS ?= 60
FUZZ_RUNS    ?= 300
FUZZ_CORPUS  ?= ../fuzz-corpus
FUZZ_FLAGS   := -timeout=10 -rss_limit_mb=1024 -dict=fuzz/brres.dict

.PHONY: all deps node-deps build build-asan build-fuzz run test test-release test-asan test-fuzz fuzz bench demo clean

all: build

deps:
	@scripts/install-deps

# the tests' npm packages, from their lockfile: without them the glTF
# validator test is skipped, not failed
node-deps: deps
	@scripts/install-test-node-deps || echo "make: the tests' npm packages could not be installed: the glTF validator test will be skipped"

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_FLAGS) -DZENTARRA_SANITIZE=ON -DZENTARRA_BENCH=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)

# the short fuzz runs need only the targets and the seed maker, not the CLI or the viewer
build-fuzz: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_DIR) $(CMAKE_FLAGS) -DZENTARRA_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target make-fuzz-seeds $(addprefix fuzz-,$(FUZZ_TARGETS))
	$(FUZZ_DIR)/fuzz/make-fuzz-seeds $(FUZZ_DIR)/seeds ../shared/corpus

# without a display the demo model is drawn offscreen into a PNG instead
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		$(BUILD_DIR)/src/shell/zentarra samples/demo.brres --model crate; \
	else \
		echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are unset): rendering the demo model with the CLI"; \
		$(BUILD_DIR)/src/cli/zentarra-cli render samples/demo.brres crate -o $(BUILD_DIR)/demo.png && \
		echo "$(BUILD_DIR)/demo.png"; \
	fi

test: test-release test-asan test-fuzz

test-release: build node-deps
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-asan: build-asan node-deps
	ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

# a short run of every target over its seeds and the saved regressions:
# anything the sanitizers or libFuzzer report fails the run
test-fuzz: build-fuzz
	@for t in $(FUZZ_TARGETS); do \
		rm -rf $(FUZZ_DIR)/found/$$t && mkdir -p $(FUZZ_DIR)/found/$$t tests/fuzz-regressions/$$t && \
		echo "fuzz-$$t: $(FUZZ_RUNS) runs" && \
		$(FUZZ_DIR)/fuzz/fuzz-$$t $(FUZZ_FLAGS) -runs=$(FUZZ_RUNS) -seed=1 \
			-artifact_prefix=$(FUZZ_DIR)/found/$$t- $(FUZZ_DIR)/found/$$t \
			$(FUZZ_DIR)/seeds/$$t tests/fuzz-regressions/$$t 2>$(FUZZ_DIR)/found/$$t.log \
			|| { tail -40 $(FUZZ_DIR)/found/$$t.log; exit 1; }; \
	done

fuzz: build-fuzz
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_CORPUS)/$$t $(FUZZ_CORPUS)/artifacts && \
		echo "fuzz-$$t: $(FUZZ_SECONDS) s, new inputs in $(FUZZ_CORPUS)/$$t" && \
		$(FUZZ_DIR)/fuzz/fuzz-$$t $(FUZZ_FLAGS) -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			-artifact_prefix=$(FUZZ_CORPUS)/artifacts/$$t- $(FUZZ_CORPUS)/$$t \
			$(FUZZ_DIR)/seeds/$$t tests/fuzz-regressions/$$t || exit 1; \
	done

bench: build
	$(BUILD_DIR)/bench/zentarra-bench

# rewrites the shipped demo archive from the test-only writer
demo: build
	$(BUILD_DIR)/tests/make-demo samples/demo.brres

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
