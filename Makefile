# The two set-up commands of the README.
#   make test   install what is missing, build with ASan+UBSan in build/, run every test
#   make run    build and start the agent on the shipped example

MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
BUILD_DIR ?= build
RUN_BUILD_DIR ?= build-run

.PHONY: deps test build run clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DZEV_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 120

run: deps
	@echo "The agent program (zeva350) is not built yet: the common utilities are all there is so far."
	@exit 1

clean:
	rm -rf $(BUILD_DIR) $(RUN_BUILD_DIR)
