# The front door: every target is a thin call into CMake and ctest.
JOBS ?= 2
NATIVE := build/native
WIN32 := build/win32
CMAKE_FLAGS ?=

.PHONY: all native win32 test run bench bootstrap clean dist

all: native win32

bootstrap:
	@scripts/bootstrap

$(NATIVE)/build.ninja:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(WIN32)/build.ninja:
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake $(CMAKE_FLAGS)

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

win32: $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS)

test: bootstrap
	$(MAKE) all
	scripts/run-tests $(NATIVE) $(WIN32)

run: bootstrap
	$(MAKE) all
	scripts/run-saver

bench: bootstrap native
	cmake --build $(NATIVE) -j $(JOBS) --target lumerin_bench
	scripts/run-bench $(NATIVE)

# The zip and the installer, copied out of the win32 tree into dist/.
dist: bootstrap $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS) --target dist
	mkdir -p dist && rm -f dist/Lumerin-*.zip dist/LumerinSetup-*.exe
	cp $(WIN32)/dist/* dist/

clean:
	rm -rf build
