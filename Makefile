# The set-up commands of the README.
#   make test   install what is missing, then two passes, each in a build folder of its own:
#               every test and every fuzz harness over its corpus with ASan+UBSan (build/),
#               the threaded tests with ThreadSanitizer (build-tsan/)
#   make fuzz   fuzz every harness for FUZZ_SECONDS (default 60), JOBS at a time (build-fuzz/,
#               clang)
#   make bench  build the benchmarks in release mode (build-bench/) and run them
#   make run    release build in build-run/, the agent with a FILE data provider on the
#               shipped example (state in build-run/example/) until Ctrl-C

MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
# Most tests wait on their peers (programs they start, sockets, the clock seam) rather than
# compute, so several run on each core; a cap keeps a large machine's memory in bounds.
TEST_JOBS ?= $(shell n=$$(( $$(nproc) * 4 )); echo $$(( n > 16 ? 16 : n )))
BUILD_DIR ?= build
TSAN_BUILD_DIR ?= build-tsan
FUZZ_BUILD_DIR ?= build-fuzz
BENCH_BUILD_DIR ?= build-bench
RUN_BUILD_DIR ?= build-run
FUZZ_SECONDS ?= 60
CTEST = ctest --output-on-failure -j $(TEST_JOBS) --timeout 120
# New build folders use Ninja: CMake's makefiles spend a minute and a half of a core on a
# build that has nothing left to do, and more on every target of a full one.
CMAKE_GENERATOR ?= Ninja
export CMAKE_GENERATOR

.PHONY: deps test build test-asan test-tsan test-fuzz-corpus build-tsan build-fuzz fuzz bench run clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DZEV_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# One pass after the other, each building in parallel itself.
test:
	@$(MAKE) test-asan
	@$(MAKE) test-tsan

SANITIZER_OPTIONS = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-asan: build
	@cd $(BUILD_DIR) && $(SANITIZER_OPTIONS) $(CTEST)

# Only the programs marked THREADED are built here; the suppressions travel with each test.
build-tsan: deps
	@cmake -S . -B $(TSAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DZEV_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD_DIR) -j $(JOBS) --target zev_tests

test-tsan: build-tsan
	@echo "ThreadSanitizer: the threaded tests"
	@cd $(TSAN_BUILD_DIR) && $(CTEST) -L threaded

build-fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEV_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target zev_fuzzers

# The fuzz corpora alone (test-asan runs them too).
test-fuzz-corpus: build
	@cd $(BUILD_DIR) && $(SANITIZER_OPTIONS) $(CTEST) -L fuzz

fuzz: build-fuzz
	@scripts/run-fuzzers.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS) $(JOBS)

bench: deps
	@cmake -S . -B $(BENCH_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DZEV_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD_DIR) -j $(JOBS) --target zev_benchmarks
	@scripts/run-benchmarks.sh $(BENCH_BUILD_DIR)

run: deps
	@cmake -S . -B $(RUN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DZEV_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(RUN_BUILD_DIR) -j $(JOBS) --target zeva350 zevraf
	@scripts/run-example.sh $(RUN_BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(TSAN_BUILD_DIR) $(FUZZ_BUILD_DIR) $(BENCH_BUILD_DIR) $(RUN_BUILD_DIR)
