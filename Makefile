# make run   installs what is missing, builds, and opens the demo archive in
#            the viewer (without a display: renders it to build/demo.png)
# make test  installs what is missing (the tests' npm packages too), builds, runs every test, then again
#            under AddressSanitizer and UndefinedBehaviorSanitizer
# make bench builds and runs the benchmarks
# make fuzz  runs every fuzz target for FUZZ_SECONDS (default 60) each
# make coverage builds with gcc's coverage, runs every test, prints line and
#            branch coverage of src/ and writes build-coverage/coverage/index.html

BUILD_DIR := build
ASAN_DIR  := build-asan
FUZZ_DIR  := build-fuzz
COVERAGE_DIR := build-coverage
JOBS      ?= $(shell nproc)
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo
COVERAGE_FLAGS := -DCMAKE_BUILD_TYPE=Debug -DZENTARRA_COVERAGE=ON -DZENTARRA_BENCH=OFF
ifneq ($(CI),)
CMAKE_FLAGS += -DZENTARRA_WERROR=ON
COVERAGE_FLAGS += -DZENTARRA_WERROR=ON
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

.PHONY: all deps node-deps build build-asan build-fuzz run test test-release test-asan test-fuzz fuzz bench coverage demo clean

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

# One gcovr pass over the counters (kept as JSON), then a summary per part.
# --exclude-throw-branches: every call that may throw adds an exception edge
# that gcc counts as a branch; almost none of them are ever taken, and they
# would drown the branches that the code itself takes. No --object-directory:
# with it gcovr runs gcov only there, and a compiler cache that makes paths
# relative to each object's folder leaves the sources unfound.
# --gcov-ignore-parse-errors: the export batch's threads race on a few
# counters, which gcov then prints as negative; gcovr would stop on them.
COVERAGE_OUT  := $(COVERAGE_DIR)/coverage
COVERAGE_CORE := src/(base|archive|model|anim|texture|export|cli)/
COVERAGE_VIEW := src/(view|render|shell)/
coverage: node-deps
	cmake -S . -B $(COVERAGE_DIR) $(COVERAGE_FLAGS)
	cmake --build $(COVERAGE_DIR) -j $(JOBS)
	find $(COVERAGE_DIR) -name '*.gcda' -delete
	rm -rf $(COVERAGE_OUT) && mkdir -p $(COVERAGE_OUT)
	ctest --test-dir $(COVERAGE_DIR) --output-on-failure -j $(JOBS); status=$$?; \
	gcovr -j 2 -r . --filter 'src/' --exclude-throw-branches --gcov-ignore-parse-errors \
		--json $(COVERAGE_OUT)/coverage.json --html-details $(COVERAGE_OUT)/index.html $(COVERAGE_DIR) && \
	for part in 'all of src/=src/' 'core and CLI=$(COVERAGE_CORE)' 'viewer=$(COVERAGE_VIEW)'; do \
		echo "== coverage: $${part%%=*}" && \
		gcovr -r . -a $(COVERAGE_OUT)/coverage.json --filter "$${part#*=}" --print-summary -o /dev/null || exit 1; \
	done; \
	echo "HTML report: $(COVERAGE_OUT)/index.html"; exit $$status

# rewrites the shipped demo archive from the test-only writer
demo: build
	$(BUILD_DIR)/tests/make-demo samples/demo.brres

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR) $(COVERAGE_DIR)
