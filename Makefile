# Two commands: `make run` starts the program, `make test` passes every test.
BUILD   ?= build
ASAN    ?= build-asan
JOBS    ?= $(shell nproc)
# Seconds each fuzzer runs in `make test`.
FUZZ_SECONDS ?= 60

PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev pkg-config \
            libgtest-dev libgmock-dev libbenchmark-dev \
            qt6-base-dev libsdl2-dev binutils-m68k-linux-gnu \
            zlib1g-dev zip python3

.PHONY: all deps build run test test-release test-asan bench clean

all: build

deps:
	@sh scripts/install-deps.sh $(PACKAGES)

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
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
