# The set-up commands of the README.
#   make test   install what is missing, then two passes, each in a build folder of its own:
#               every test with ASan+UBSan (build/), the threaded tests with ThreadSanitizer
#               (build-tsan/)
#   make run    build and start the agent on the shipped example

MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
BUILD_DIR ?= build
TSAN_BUILD_DIR ?= build-tsan
RUN_BUILD_DIR ?= build-run
CTEST = ctest --output-on-failure -j $(JOBS) --timeout 120

.PHONY: deps test build test-asan test-tsan build-tsan run clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DZEV_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# One pass after the other, each building in parallel itself.
test:
	@$(MAKE) test-asan
	@$(MAKE) test-tsan

test-asan: build
	@cd $(BUILD_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(CTEST)

# Only the programs marked THREADED are built here; the suppressions travel with each test.
build-tsan: deps
	@cmake -S . -B $(TSAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DZEV_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD_DIR) -j $(JOBS) --target zev_tests

test-tsan: build-tsan
	@echo "ThreadSanitizer: the threaded tests"
	@cd $(TSAN_BUILD_DIR) && $(CTEST) -L threaded

run: deps
	@echo "The agent program (zeva350) is not built yet: the common utilities are all there is so far."
	@exit 1

clean:
	rm -rf $(BUILD_DIR) $(TSAN_BUILD_DIR) $(RUN_BUILD_DIR)
