# Every target installs what it needs, configures, builds, then acts.
RELEASE  := build/release
SANITIZE := build/sanitize
WINDOWS  := build/windows
FUZZ     := build/fuzz
JOBS     := $(shell nproc 2>/dev/null || echo 2)
# A step of make test and the other long targets, with how long it took.
TIMED    := scripts/timed.sh

.PHONY: run window show test bench testcard assets deps release sanitize clean clang-check install windows test-windows \
        package dist dist-check install-test fuzz fuzz-ci real-terminals

deps:
	@scripts/ensure-deps.sh build

# The show alone: only its own packages and its own targets, so a first `make run` is quick.
show:
	@scripts/ensure-deps.sh run
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target quorvel4-demo

release:
	@scripts/ensure-deps.sh compile
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(TIMED) "release build" cmake --build $(RELEASE) -j $(JOBS)

# The tests under AddressSanitizer and UndefinedBehaviorSanitizer, built with Clang and
# warnings as errors: the release build is GCC's, so between them every source but the
# benchmarks' is built by both compilers (only the release build runs the benchmarks, so only it
# builds them), and the tests run with both compilers' choices where C++ leaves them open, such
# as the order of arguments.
# Its debug information is line tables alone: enough for the sanitizers' reports to name file
# and line, and the build takes less time. It also builds the fuzz targets (make fuzz-ci).
# LLVM's linker: the sanitized programs are large, and GNU ld takes four times as long to link
# them. Not position-independent: a test starts its own process, and relocating the
# position-independent test program was a fifth of each start.
SANITIZE_FLAGS := -O2 -gline-tables-only -DNDEBUG
sanitize:
	@scripts/ensure-deps.sh clang
	@cmake -S . -B $(SANITIZE) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$(SANITIZE_FLAGS)" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(SANITIZE_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fuse-ld=lld -no-pie" -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld \
	  -DQVL_SANITIZE=ON -DQVL_BENCHMARKS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
	@$(TIMED) "sanitizer build" cmake --build $(SANITIZE) -j $(JOBS)

# The fuzz targets (fuzz/, docs/fuzzing.md), built with Clang's libFuzzer and sanitizers.
# FUZZ_SECONDS=N then runs each for N seconds (FUZZ_PARALLEL=2: two at a time).
FUZZ_SECONDS ?= 0
fuzz:
	@scripts/ensure-deps.sh clang
	@cmake -S . -B $(FUZZ) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQVL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS) --target qvl_fuzz_targets
	@if [ "$(FUZZ_SECONDS)" != 0 ]; then scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS); fi

# A short pass: every target for 10 s (FUZZ_CI_SECONDS), two at a time, the targets of the
# sanitizer build (Clang, the same sanitizers, edge coverage only): no build of its own.
fuzz-ci: sanitize
	@FUZZ_PARALLEL=2 $(TIMED) "fuzzing" scripts/fuzz.sh $(SANITIZE) $${FUZZ_CI_SECONDS:-10}

run: show
	@$(RELEASE)/demo/quorvel4-demo

# The show in a window of its own (Alt+Enter or F11: full screen).
window: show
	@$(RELEASE)/demo/quorvel4-demo --window

# A test that fails, fails: none is run again. scripts/stress-tests.sh runs the tests that start
# processes, terminals, X servers or audio many times over on a loaded machine.
# Every test runs in the release build. The sanitizer build leaves out those labelled slow
# (ctest -LE slow): end-to-end runs of a whole show or of every export, and the separate flash
# reader's own tests, whose code the sanitizer build runs through shorter tests of the same
# paths (tests/CMakeLists.txt lists them and says which); under the sanitizers they took three
# fifths of its tests' time.
CTEST := ctest --output-on-failure -j $(JOBS)

test: release sanitize
	@echo "== tests (release build) =="
	@$(TIMED) "tests (release build)" $(CTEST) --test-dir $(RELEASE)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer build; not those labelled slow) =="
	@echo "   and beside them the web page's build and tests, whose output follows theirs: the browser's"
	@echo "   tests wait on pages more than they compute"
	@mkdir -p build && $(MAKE) --no-print-directory test-web >build/test-web.log 2>&1 & web=$$!; status=0; \
	  $(TIMED) "tests (sanitizer build)" $(CTEST) --test-dir $(SANITIZE) -LE slow || status=$$?; \
	  wait $$web || status=$$?; cat build/test-web.log; exit $$status
	@$(MAKE) --no-print-directory test-install

# The packages in a fresh Debian 12 root, where that can be done here: as root, with a cached
# root or debootstrap at hand. It installs a few hundred packages into that root (about a
# quarter of an hour), so make test runs it only when asked: QVL_INSTALL_TEST=1 make test, or
# make install-test. Elsewhere it says why it is skipped.
test-install:
	@echo "== tests (the packages installed into a fresh Debian 12 root) =="
	@if [ "$${QVL_INSTALL_TEST:-}" != 1 ]; then echo "skipped: QVL_INSTALL_TEST=1 runs it (or make install-test)"; \
	 elif reason=$$(scripts/install-test.sh --can-run); then $(MAKE) --no-print-directory install-test; \
	 else echo "skipped: $$reason"; fi

bench: release
	@$(RELEASE)/bench/qvl_bench

testcard: release
	@$(RELEASE)/tools/quorvel4-testcard

# A manual check, not part of `test`: replays still frames in xterm, urxvt, mlterm,
# xfce4-terminal, kitty, alacritty and konsole on a virtual display and compares every cell of
# their screenshots (scripts/real-terminals-check.py; the results are in docs/terminal.md).
real-terminals:
	@scripts/ensure-deps.sh real-terminals
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target quorvel4-capture quorvel4-testcard
	@/usr/bin/python3 tests/real_terminals_check_test.py
	@/usr/bin/python3 scripts/real-terminals-check.py --build $(RELEASE)

# The show's programs, data and manuals, and the library for programs of your own (headers,
# static and shared library, CMake package, pkg-config file) under PREFIX (docs/library.md).
PREFIX ?= /usr/local
install: release
	@cmake --install $(RELEASE) --prefix $(PREFIX)

# The Debian packages in dist/: quorvel4-demo, libquorvel4-1 and libquorvel4-dev, checked by
# lintian (the warnings left are explained in docs/packaging.md).
package: release
	@scripts/ensure-deps.sh package
	@rm -rf $(RELEASE)/packages && mkdir -p dist && rm -f dist/*.deb
	@cd $(RELEASE) && cpack -G DEB >/dev/null
	@cp $(RELEASE)/packages/*.deb dist/
	@$(TIMED) "lintian" lintian --fail-on error dist/*.deb
	@ls -l dist/*.deb

# Every release artifact with versioned names, and SHA256SUMS (docs/packaging.md).
dist: package windows web
	@scripts/dist.sh $(RELEASE) dist

# make dist twice from fresh clones of HEAD in two other folders: the SHA256SUMS must be the
# same (scripts/reproducible-dist.sh). Two whole builds: not part of make test.
dist-check:
	@scripts/reproducible-dist.sh

# Installs the packages into a fresh Debian 12 root and tries them as a newcomer would
# (needs root and debootstrap, or a cached root; docs/packaging.md).
install-test: package
	@scripts/ensure-deps.sh install-test
	@scripts/install-test.sh dist

clean:
	rm -rf build dist

# The web page, built with Debian's emscripten into dist/web/: index.html, index.js,
# index.wasm and data/. Debian's emscripten runs its JavaScript tools on Debian's own Node.js
# modules, which a node from elsewhere finds only through NODE_PATH.
WEB      := build/web
WEB_DIST := dist/web
WEB_PORT ?= 8000
WEB_ENV  := NODE_PATH=/usr/share/nodejs $(if $(wildcard /usr/bin/node),EM_NODE_JS=/usr/bin/node)

.PHONY: web web-serve test-web test-install

web:
	@scripts/ensure-deps.sh web
	@$(WEB_ENV) emcmake cmake -S . -B $(WEB) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(WEB_ENV) $(TIMED) "web build" cmake --build $(WEB) -j $(JOBS) --target quorvel_web
	@rm -rf $(WEB_DIST) && mkdir -p $(WEB_DIST) && cp -r $(WEB)/web/site/. $(WEB_DIST)/ && cp LICENSE LICENSE-CC-BY-4.0 $(WEB_DIST)/
	@echo "The page is in $(WEB_DIST)/: serve that folder from any static web server (make web-serve)."

web-serve: web
	@echo "The show: http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops the server)"
	@/usr/bin/python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(WEB_DIST)

# The page in headless Chromium, compared with the offline renderer's pictures.
test-web: web release
	@echo "== tests (the web page in headless Chromium) =="
	@node tests/web/install-modules.mjs
	@QVL_WEB_DIST=$(CURDIR)/$(WEB_DIST) QVL_CAPTURE=$(CURDIR)/$(RELEASE)/tools/quorvel4-capture QVL_DATA=$(CURDIR)/data \
	  $(TIMED) "tests (web page)" node --test tests/web/web.test.mjs

# Re-creates the pictures, their preview sheet and the music under data/, and the Lanterns show's
# pictures, music and sync tracks under shows/lanterns/, from their generators.
assets: release
	@scripts/ensure-deps.sh assets
	@/usr/bin/python3 tools/assets/test_synth.py
	@/usr/bin/python3 tools/assets/make_pictures.py data
	@$(RELEASE)/tools/quorvel4-preview-sheet data docs/preview.png
	@/usr/bin/python3 tools/assets/make_music.py data/8920.mp3
	@/usr/bin/python3 tools/assets/make_lanterns_pictures.py shows/lanterns
	@/usr/bin/python3 tools/assets/make_lanterns_music.py shows/lanterns/music.mp3
	@/usr/bin/python3 tools/assets/make_lanterns_tracks.py shows/lanterns
	@/usr/bin/python3 tools/assets/test_lanterns_assets.py

# Every source built with Clang, warnings as errors: the sanitizer build is that build.
clang-check: sanitize

# The show for Windows, cross-compiled with MinGW-w64: dist/windows/ and dist/quorvel4-windows.zip.
# WINDOWS_DRAWING_TESTS=OFF: the Windows tests leave out the drawing, effect and converter
# suites, whose results the frames compared with Linux's check too (tests/windows/CMakeLists.txt),
# a minute less of building.
WINDOWS_DRAWING_TESTS ?= ON
windows:
	@scripts/ensure-deps.sh windows
	@cmake -S . -B $(WINDOWS) $(if $(wildcard $(WINDOWS)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake) \
	  -DCMAKE_BUILD_TYPE=Release -DQVL_WINDOWS_DRAWING_TESTS=$(WINDOWS_DRAWING_TESTS) >/dev/null
	@$(TIMED) "Windows build" cmake --build $(WINDOWS) -j $(JOBS) --target quorvel4-demo quorvel4-capture
	@scripts/windows-package.sh $(WINDOWS) dist

# The Windows build's tests under wine, its frames against the Linux capture's, and the show.
test-windows: windows
	@scripts/ensure-deps.sh run
	@$(TIMED) "Windows tests build" cmake --build $(WINDOWS) -j $(JOBS) --target qvl_tests
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target quorvel4-capture
	@$(TIMED) "tests (Windows build under wine)" scripts/with-display.sh scripts/windows-test.sh $(WINDOWS) \
	  $(RELEASE)/tools/quorvel4-capture dist
