# A thin layer over CMake. `make` builds; `make test` installs what is missing, builds and runs every test
# in the release, sanitizer (ASan+UBSan) and ThreadSanitizer builds, then the fuzzers and the demo;
# `make test-windows` cross-builds config.dll with mingw-w64 and runs the test suite under Wine; `make demo`
# runs the command-line tool on the example installation.
# Seconds per fuzzer: four fuzzers of 15 s keep the run at about a minute.
FUZZ_SECONDS ?= 15

.PHONY: all deps build test test-release test-dev test-tsan test-windows fuzz demo bench clean

all: build

deps:
	@scripts/install-deps.sh build

build: deps
	cmake --preset release >/dev/null
	cmake --build --preset release

test: deps test-release test-dev test-tsan fuzz demo
	@echo "make test: all suites passed"

test-release:
	cmake --preset release >/dev/null
	cmake --build --preset release
	ctest --preset release

test-dev:
	cmake --preset dev >/dev/null
	cmake --build --preset dev
	ctest --preset dev

test-tsan:
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan
	ctest --preset tsan

test-windows:
	@scripts/install-deps.sh windows
	scripts/test-windows.sh

fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	scripts/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

demo: build
	@scripts/demo.sh build/release

bench: build
	@for b in build/release/bench/*_benchmark; do echo "== $$b"; $$b; done

clean:
	rm -rf build
