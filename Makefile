# Two commands: `make run` starts the program, `make test` passes every test.
BUILD   ?= build
ASAN    ?= build-asan
JOBS    ?= $(shell nproc)
# Seconds each fuzzer runs in `make test`.
FUZZ_SECONDS ?= 60

# What the program needs to build and run; the tests and benchmarks need the
# rest as well.
RUN_PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev libsdl2-dev libpng-dev \
                binutils-m68k-linux-gnu gcc-m68k-linux-gnu python3
TEST_PACKAGES := clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev \
                 zlib1g-dev zip gdb-multiarch
# What `make run` builds: the program, the disassembler tool, both demo sets.
RUN_TARGETS := stonebreaker stonebreaker-disasm demo cdemo run-dir

.PHONY: all deps deps-run build run test test-release test-asan bench clean

all: build

deps-run:
	@sh scripts/install-deps.sh $(RUN_PACKAGES)

deps: deps-run
	@sh scripts/install-deps.sh $(TEST_PACKAGES)

# A first `make run` configures without tests; `make build` turns them on.
$(BUILD)/build.ninja: | deps-run
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DSB_TESTS=OFF -DSB_BENCH=OFF

build: deps $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DSB_TESTS=ON -DSB_BENCH=ON > /dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: deps-run $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS)
	cd $(BUILD)/run && ../stonebreaker $(ARGS)

$(ASAN)/build.ninja: | deps
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DSB_SANITIZE=ON -DSB_FUZZ=ON -DSB_FUZZ_SECONDS=$(FUZZ_SECONDS)

test-release: build
	python3 scripts/check-graph.py $(BUILD)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

test: test-release test-asan

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN)
