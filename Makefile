# Torvane: a thin wrapper over CMake.
#   make          install what is missing, build into build/ (programs in build/bin/)
#   make test     build and run every test through CTest (and again under the sanitizers)
#   make run      build and start the window program
#   make install  install the programs (PREFIX=/usr/local by default)
#   make clean    remove the build folders
#   make fuzz     run every fuzz target for FUZZ_SECONDS (default 60) each
#   make bench    measure the conversions on generated charts of 1 to 64 MB

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
SANITIZE_DIR ?= $(BUILD_DIR)/sanitize
TSAN_DIR ?= $(BUILD_DIR)/tsan
FUZZ_DIR ?= $(BUILD_DIR)/fuzz
BENCH_DIR ?= $(BUILD_DIR)/bench

.PHONY: all deps configure build test sanitize-test tsan-test run install clean fuzz bench

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build sanitize-test tsan-test
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The engine's tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-test: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DTORVANE_SANITIZE=ON \
	  -DTORVANE_BUILD_GUI=OFF -DTORVANE_BUILD_CLI=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The tests that run a batch on several threads against one thread, under
# ThreadSanitizer: the runner's own and the program's.
tsan-test: deps
	@cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANE_TSAN=ON \
	  -DTORVANE_BUILD_GUI=OFF >/dev/null
	@cmake --build $(TSAN_DIR) -j $(JOBS) --target batch_tests torvane_cli_library_tests
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -j $(JOBS) -R "RunBatch|ForAnyNumberOfJobs"

run: build
	@scripts/run

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DTORVANE_FUZZ=ON -DTORVANE_BUILD_TESTS=OFF -DTORVANE_BUILD_GUI=OFF -DTORVANE_BUILD_CLI=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	scripts/fuzz

bench: deps
	@cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DTORVANE_BUILD_BENCH=ON \
	  -DTORVANE_BUILD_TESTS=OFF -DTORVANE_BUILD_GUI=OFF -DTORVANE_BUILD_CLI=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target torvane-bench
	$(BENCH_DIR)/bin/torvane-bench $(BENCH_ARGS)

clean:
	rm -rf $(BUILD_DIR) build-*
