# Front door: every command does its own set-up on a fresh machine.
JOBS ?= 2
PREFIX ?= /usr/local
WINE := /usr/lib/wine/wine64
WINESERVER := /usr/lib/wine/wineserver
# Wine gets everything it needs from here, never from the caller's HOME. It takes its
# code page from the locale (LANG, set for each run in tests/CMakeLists.txt), whose data
# the lane builds in build/locales.
WINE_ENV := WINEPREFIX=$(CURDIR)/build/wineprefix WINEARCH=win64 WINEDEBUG=-all \
            WINEDLLOVERRIDES="mscoree,mshtml=" HOME=$(CURDIR)/build/wine-home DISPLAY= \
            LOCPATH=$(CURDIR)/build/locales
WINE_LOCALES := en_US ru_RU ja_JP
APT_INSTALL := apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y

FUZZ_SECONDS ?= 30
FUZZ_TARGETS := string_fuzz paths_fuzz resolver_fuzz

.PHONY: all build demo install test test-asan test-tsan clang windows windows-compiler test-windows wine-tools wine-locales \
        wine-prefix package windows-package package-tools package-check fuzz fuzz-runtime bench format format-check format-tool clean

all: build

build:
	cmake --preset release
	cmake --build --preset release

# Runs the tool on a freshly generated sample tree under build/demo.
demo: build
	scripts/demo.sh build/release/bin/rubo build/demo

install: build
	cmake --install build/release --prefix $(PREFIX)

# The includes are held to the layers first (scripts/check_layers.py tells how).
test: build
	scripts/check_layers.py
	ctest --preset release -j$(JOBS)

test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan -j$(JOBS)

# The core and resolve suites (the heap, the fatal reports, the walk and its read-ahead
# workers) under ThreadSanitizer; the test preset makes the first report fail the run.
test-tsan: clang
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan -j$(JOBS)

# The tool alone for Windows, build/windows/bin/rubo.exe, without the test suite.
windows: windows-compiler
	cmake --preset windows -DRUBO_TESTS=OFF
	cmake --build --preset windows --target rubo

windows-compiler:
	@command -v x86_64-w64-mingw32-g++-posix > /dev/null || { $(APT_INSTALL) g++-mingw-w64-x86-64-posix; }

# What the Windows lane needs besides the compiler: Wine, GoogleTest's sources and the
# locale sources, from the distribution when they are missing.
wine-tools: windows-compiler
	@[ -x $(WINE) ] && [ -d /usr/src/googletest ] && [ -f /usr/share/i18n/locales/ja_JP ] || \
	  { $(APT_INSTALL) wine64 googletest locales; }

# The locales of the lane's runs, built once into build/locales (never system-wide).
wine-locales: wine-tools
	@for locale in $(WINE_LOCALES); do \
	  [ -d build/locales/$$locale.UTF-8 ] || { mkdir -p build/locales && \
	    localedef -i $$locale -f UTF-8 build/locales/$$locale.UTF-8 > /dev/null 2>&1; \
	    [ -d build/locales/$$locale.UTF-8 ] || { echo "cannot build the locale $$locale.UTF-8"; exit 1; }; }; \
	done

# The prefix is made once per lane, before the tests; a persistent wineserver
# (started in the background, its output out of the way) spares every test
# process the server start-up.
wine-prefix: wine-tools
	mkdir -p build/wineprefix build/wine-home
	$(WINE_ENV) $(WINESERVER) -p > /dev/null 2>&1 &
	$(WINE_ENV) $(WINE) wineboot --init > /dev/null 2>&1 || true

test-windows: wine-locales wine-prefix
	cmake --preset windows -DRUBO_TESTS=ON
	cmake --build --preset windows
	$(WINE_ENV) ctest --preset windows -j$(JOBS); status=$$?; \
	  $(WINE_ENV) $(WINESERVER) -k > /dev/null 2>&1; exit $$status

# The packages, in build/package: rubo_<version>_amd64.deb (the release build) and
# rubo-<version>-win64.zip (the MinGW build, statically linked). The archive alone
# needs neither the release build nor its tests.
VERSION := $(shell grep -o 'rubo VERSION [0-9.]*' CMakeLists.txt | cut -d ' ' -f 3)
DEB := build/package/rubo_$(VERSION)_amd64.deb
ZIP := build/package/rubo-$(VERSION)-win64.zip

package: windows-package build
	cd build/release && cpack

windows-package: package-tools windows
	cmake --build --preset windows --target rubo_windows_texts
	cd build/windows && cpack

package-tools:
	@command -v dpkg-shlibdeps > /dev/null && command -v file > /dev/null && command -v groff > /dev/null && \
	  command -v lintian > /dev/null || { $(APT_INSTALL) dpkg-dev file groff-base lintian; }

# Checks the packages as a user meets them: lintian finds no error in the Debian package,
# which is installed, run and removed again; the archive's rubo.exe runs under Wine.
package-check: package wine-prefix
	lintian --fail-on error $(DEB)
	$(WINE_ENV) scripts/check_packages.sh $(DEB) $(ZIP) $(WINE); status=$$?; \
	  $(WINE_ENV) $(WINESERVER) -k > /dev/null 2>&1; exit $$status

# Builds the fuzz targets with Clang and runs each for FUZZ_SECONDS on a working copy
# of its corpus: the seeds in fuzz/corpus/<target> stay as they are, what the run finds
# is kept in build/fuzz/corpus/<target>, and a failing input is saved in build/fuzz/.
fuzz: fuzz-runtime
	cmake --preset fuzz
	cmake --build --preset fuzz
	set -e; for target in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$target; \
	  build/fuzz/bin/$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	    -artifact_prefix=build/fuzz/$$target- build/fuzz/corpus/$$target fuzz/corpus/$$target; \
	done

clang:
	@command -v clang++ > /dev/null || { $(APT_INSTALL) clang; }

# Clang, and libFuzzer's runtime, which Debian ships apart from Clang's other runtimes.
fuzz-runtime: clang
	@test -f "$$(clang++ -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" || \
	  { $(APT_INSTALL) libclang-rt-$$(clang++ -dumpversion | cut -d. -f1)-dev; }

# Compares the release rubo with find, fd and the floor walker (bench/floor_walker.c) on
# generated trees, on the disk and on a tmpfs (bench/run.py tells how);
# strace, GNU time and fd (the package fd-find, whose program is fdfind) come from the
# distribution when they are missing.
bench:
	@command -v strace > /dev/null && [ -x /usr/bin/time ] || \
	  { $(APT_INSTALL) strace time; }
	@fd --version 2> /dev/null | grep -Eq '^fd(find)? ' || command -v fdfind > /dev/null || \
	  { $(APT_INSTALL) fd-find; }
	cmake --preset release
	cmake --build --preset release --target rubo
	mkdir -p build/bench
	cc -O2 -Wall -Wextra -pthread -o build/bench/floor_walker bench/floor_walker.c
	python3 bench/run.py --rubo build/release/bin/rubo --floor build/bench/floor_walker --work build/bench $(BENCH_FLAGS)

# The layout of the C++ files: `format` applies .clang-format to them, `format-check`
# fails on any file it would change (clang-format comes from the distribution when it is
# missing).
CXX_FILES = $(shell find app core platform resolve tests fuzz -name '*.cpp' -o -name '*.h')

format: format-tool
	clang-format -i $(CXX_FILES)

format-check: format-tool
	@clang-format --dry-run --Werror $(CXX_FILES)
	@echo "format: $(words $(CXX_FILES)) files laid out as .clang-format says"

format-tool:
	@command -v clang-format > /dev/null || { $(APT_INSTALL) clang-format; }

clean:
	rm -rf build
