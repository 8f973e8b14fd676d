# Every target installs what it needs, configures, builds, then acts.
RELEASE  := build/release
SANITIZE := build/sanitize
WINDOWS  := build/windows
JOBS     := $(shell nproc 2>/dev/null || echo 2)

.PHONY: run window show test bench testcard assets deps release sanitize clean clang-check windows test-windows

deps:
	@scripts/ensure-deps.sh build

# The show alone: only its own packages and its own targets, so a first `make run` is quick.
show:
	@scripts/ensure-deps.sh run
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target quorvel_demo

release: deps
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS)

sanitize: deps
	@cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVL_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE) -j $(JOBS)

run: show
	@$(RELEASE)/demo/quorvel_demo

# The show in a window of its own (Alt+Enter or F11: full screen).
window: show
	@$(RELEASE)/demo/quorvel_demo --window

test: release sanitize
	@echo "== tests (release build) =="
	@ctest --test-dir $(RELEASE) --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer build) =="
	@ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

bench: release
	@$(RELEASE)/bench/qvl_bench

testcard: release
	@$(RELEASE)/tools/testcard

clean:
	rm -rf build dist

# Re-creates the pictures, their preview sheet and the music under data/ from their generators.
assets: release
	@scripts/ensure-deps.sh assets
	@/usr/bin/python3 tools/assets/test_synth.py
	@/usr/bin/python3 tools/assets/make_pictures.py data
	@$(RELEASE)/tools/preview_sheet data docs/preview.png
	@/usr/bin/python3 tools/assets/make_music.py data/8920.mp3

# The same sources built with Clang: both compilers must build them without a warning.
clang-check:
	@scripts/ensure-deps.sh clang
	@CC=clang CXX=clang++ cmake -S . -B build/clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
	@cmake --build build/clang -j $(JOBS)

# The show for Windows, cross-compiled with MinGW-w64: dist/windows/ and dist/quorvel4-windows.zip.
windows:
	@scripts/ensure-deps.sh windows
	@cmake -S . -B $(WINDOWS) $(if $(wildcard $(WINDOWS)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake) \
	  -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WINDOWS) -j $(JOBS) --target quorvel_demo capture
	@scripts/windows-package.sh $(WINDOWS) dist

# The Windows build's tests under wine, its frames against the Linux capture's, and the show.
test-windows: windows
	@scripts/ensure-deps.sh run
	@cmake --build $(WINDOWS) -j $(JOBS) --target qvl_tests
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target capture
	@xvfb-run -a -s "-screen 0 1280x1024x24" scripts/windows-test.sh $(WINDOWS) $(RELEASE)/tools/capture
