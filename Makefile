# The front door: every target is a thin call into CMake and ctest.
JOBS ?= 2
NATIVE := build/native
WIN32 := build/win32
FUZZ := build/fuzz
FUZZ_SECONDS ?= 300
CMAKE_FLAGS ?=

.PHONY: all native win32 fuzzers test run bench fuzz bootstrap clean

all: native win32

bootstrap:
	@scripts/bootstrap

$(NATIVE)/build.ninja:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(WIN32)/build.ninja:
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake $(CMAKE_FLAGS)

$(FUZZ)/build.ninja:
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMERIN_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

win32: $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS)

fuzzers: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)

test: bootstrap
	$(MAKE) all fuzzers
	scripts/run-tests $(NATIVE) $(WIN32) $(FUZZ)

# Each fuzzer for FUZZ_SECONDS, seeded with its checked-in corpus.
fuzz: bootstrap fuzzers
	cmake -S . -B $(FUZZ) -DLUMERIN_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	ctest --test-dir $(FUZZ) --output-on-failure -V | grep -E 'Test +#|stat::number_of_executed_units|stat::new_units|Passed|Failed'
	cmake -S . -B $(FUZZ) -DLUMERIN_FUZZ_SECONDS=20 >/dev/null

run: bootstrap
	$(MAKE) all
	scripts/run-saver

bench: bootstrap native
	cmake --build $(NATIVE) -j $(JOBS) --target lumerin_bench
	scripts/run-bench $(NATIVE)

clean:
	rm -rf build
