# Front door: every command does its own set-up on a fresh machine.
JOBS ?= 2
PREFIX ?= /usr/local
WINE := /usr/lib/wine/wine64
WINESERVER := /usr/lib/wine/wineserver
# Wine gets everything it needs from here, never from the caller's HOME.
WINE_ENV := WINEPREFIX=$(CURDIR)/build/wineprefix WINEARCH=win64 WINEDEBUG=-all \
            WINEDLLOVERRIDES="mscoree,mshtml=" HOME=$(CURDIR)/build/wine-home DISPLAY=

.PHONY: all build demo install test test-asan test-windows wine-prefix bench clean

all: build

build:
	cmake --preset release
	cmake --build --preset release

# Runs the tool on a freshly generated sample tree under build/demo.
demo: build
	scripts/demo.sh build/release/bin/rubo build/demo

install: build
	cmake --install build/release --prefix $(PREFIX)

test: build
	ctest --preset release -j$(JOBS)

test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan -j$(JOBS)

# The prefix is made once per lane, before the tests; a persistent wineserver
# (started in the background, its output out of the way) spares every test
# process the server start-up.
wine-prefix:
	mkdir -p build/wineprefix build/wine-home
	$(WINE_ENV) $(WINESERVER) -p > /dev/null 2>&1 &
	$(WINE_ENV) $(WINE) wineboot --init > /dev/null 2>&1 || true

test-windows: wine-prefix
	cmake --preset windows
	cmake --build --preset windows
	$(WINE_ENV) ctest --preset windows -j$(JOBS); status=$$?; \
	  $(WINE_ENV) $(WINESERVER) -k > /dev/null 2>&1; exit $$status

# Compares the release rubo with find on generated trees (bench/run.py tells how);
# strace and GNU time come from the distribution when they are missing.
bench:
	@command -v strace > /dev/null && [ -x /usr/bin/time ] || \
	  { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y strace time; }
	cmake --preset release
	cmake --build --preset release --target rubo
	python3 bench/run.py --rubo build/release/bin/rubo --work build/bench $(BENCH_FLAGS)

clean:
	rm -rf build
