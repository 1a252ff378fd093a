# The front door: every target is a thin call into CMake and ctest.
JOBS ?= 2
NATIVE := build/native
WIN32 := build/win32
# The 64-bit edition, built and tested on every machine, before the 32-bit tree (whose
# packages take the 64-bit program from it).
WIN64 := build/win64
# The web edition (emscripten), compared with the native tree's tool by its tests.
WEB := build/web
FUZZ := build/fuzz
FUZZ_SECONDS ?= 300
SOAK_MINUTES ?= 10
CMAKE_FLAGS ?=

.PHONY: all native win32 win64 web fuzzers deb test test-debian13 run bench fuzz soak bootstrap clean

all: native win64 win32

bootstrap:
	@scripts/bootstrap

$(NATIVE)/build.ninja:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(WIN32)/build.ninja:
	cmake -S . -B $(WIN32) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DLUMERIN_WIN64_DIR=$(abspath $(WIN64)) \
	  $(CMAKE_FLAGS)

$(WIN64)/build.ninja:
	cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake $(CMAKE_FLAGS)

$(WEB)/build.ninja:
	emcmake cmake -S . -B $(WEB) -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DLUMERIN_NATIVE_DIR=$(abspath $(NATIVE)) $(CMAKE_FLAGS)

$(FUZZ)/build.ninja:
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMERIN_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

win32: $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS)

win64: $(WIN64)/build.ninja
	cmake --build $(WIN64) -j $(JOBS)

# dist/web/index.html, one self-contained page, and the live-wallpaper hosts' packages
# dist/lumerin-<version>-lively.zip and dist/lumerin-<version>-wallpaper-engine.zip.
web: $(WEB)/build.ninja
	cmake --build $(WEB) -j $(JOBS)
	mkdir -p dist/web && rm -f dist/lumerin-*-lively.zip dist/lumerin-*-wallpaper-engine.zip
	cp $(WEB)/index.html dist/web/index.html
	cp $(WEB)/lumerin-*-lively.zip $(WEB)/lumerin-*-wallpaper-engine.zip dist/

fuzzers: $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS)

test: bootstrap
	$(MAKE) all web fuzzers deb
	scripts/run-contained scripts/run-tests "$(NATIVE) $(WEB) $(FUZZ) $(WIN64)" "$(WIN32)"

# The same `make test` on a fresh clone of HEAD in a clean Debian 13 root kept under
# build/debian13 (scripts/test-debian13): made with debootstrap, made again when the
# bootstrap's package list changes, its mounts in a private namespace of the run's own.
test-debian13: bootstrap
	scripts/run-contained scripts/test-debian13 CMAKE_FLAGS="$(CMAKE_FLAGS)"

# Each fuzzer for FUZZ_SECONDS, seeded with its checked-in corpus.
fuzz: bootstrap fuzzers
	scripts/run-contained scripts/run-fuzz $(FUZZ) $(FUZZ_SECONDS) $(JOBS)

run: bootstrap
	$(MAKE) all
	scripts/run-saver

# One table: the core's speed and the real saver's under Wine, each beside a baseline.
# Where 32-bit programs run at full speed, the 64-bit edition's saver rows follow; where
# they run only emulated, the first table times the 64-bit edition instead.
bench: bootstrap
	$(MAKE) all web
	cmake --build $(NATIVE) -j $(JOBS) --target lumerin_bench
	scripts/run-contained scripts/run-bench $(NATIVE) $(WIN32)
	if [ "$$(scripts/wine32-mode)" = native ]; then \
	  LUMERIN_BENCH_EDITION=64-bit LUMERIN_WINE=/usr/lib/wine/wine64 \
	    scripts/run-bench $(NATIVE) $(WIN64); \
	fi

# The long runs of the real saver: SOAK_MINUTES of slideshow with its GDI objects and
# memory watched, a hundred random starts and closes, many spoilt settings keys.
soak: bootstrap
	$(MAKE) win32
	SOAK_MINUTES=$(SOAK_MINUTES) LUMERIN_BUILD=$(WIN32) scripts/run-soak

# The zip and the installer, both editions in each, packed afresh and copied out of the
# win32 tree into dist/: signed when LUMERIN_SIGN_* names a certificate (scripts/sign-file).
# With RELEASE_URL, the address of the folder the two files will be published in, also the
# winget and Scoop manifests of those very files (cmake/make-manifests.cmake): dist/winget/
# and dist/scoop/lumerin.json. Without it no manifests, as they would name no address.
RELEASE_URL ?=
.PHONY: dist
dist: bootstrap win64 $(WIN32)/build.ninja
	cmake --build $(WIN32) -j $(JOBS) --target release
	mkdir -p dist && rm -rf dist/Lumerin-*.zip dist/LumerinSetup-*.exe dist/winget dist/scoop
	cp $(WIN32)/release/* dist/
	@if [ -n "$(RELEASE_URL)" ]; then \
	  cmake -DSETTINGS=$(WIN32)/packaging/packages.cmake -DDIST=dist \
	    -DRELEASE_URL='$(RELEASE_URL)' -P cmake/make-manifests.cmake; \
	else \
	  echo "No winget or Scoop manifests: give RELEASE_URL=<the folder the release's files will be in>"; \
	fi

# The Debian package of the native tool (cmake/deb.cmake), copied out of the native tree
# into dist/: dist/lumerin_<version>-1_<arch>.deb.
deb: bootstrap $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS) --target lumerin lumerin_manual lumerin_deb_documents lumerin_completions
	rm -rf $(NATIVE)/deb && cd $(NATIVE) && cpack -G DEB -B deb
	mkdir -p dist && rm -f dist/lumerin_*.deb
	cp $(NATIVE)/deb/lumerin_*.deb dist/

# Never into a mount: the test bed's root is removed only when nothing is mounted there.
clean:
	scripts/remove-tree build
