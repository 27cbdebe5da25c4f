# A thin layer over CMake. `make` builds; `make test` installs what is missing, builds and runs every test
# in the release build, checks the Debian packages made from it, runs the tests of the sanitizer (ASan+UBSan)
# and ThreadSanitizer builds, builds the library with Clang's lock analysis, then runs the fuzzers and the
# demo; `make test-windows` cross-builds config.dll with mingw-w64 and runs the test suite under Wine; `make
# demo` runs the command-line tool on the example installation. `make package` builds the Debian packages
# (build/package/packages) from the package preset, a release build that keeps each user's settings in their
# own folders as an installed library must (the release build keeps them in the library's own folder, as the
# application that carries it does, and its tests test that); `make test-package-install` installs them with
# dpkg, uses them as an ordinary user and as root, and removes them again (root, throw-away machines).
# Seconds per fuzzer: four fuzzers of 15 s keep the run at about a minute.
FUZZ_SECONDS ?= 15

.PHONY: all deps build test test-release test-package test-dev test-tsan test-threadsafety test-windows fuzz demo \
        bench clean \
        package test-package-install

all: build

deps:
	@scripts/install-deps.sh build

build: deps
	cmake --preset release >/dev/null
	cmake --build --preset release

test: deps test-release test-package test-dev test-tsan test-threadsafety fuzz demo
	@echo "make test: all suites passed"

test-release:
	cmake --preset release >/dev/null
	cmake --build --preset release
	ctest --preset release

# The packages hold only the library and the tool: no more is built for them than those.
package:
	@scripts/install-deps.sh build package
	cmake --preset package >/dev/null
	cmake --build --preset package
	rm -rf build/package/packages
	cpack --config build/package/CPackConfig.cmake

test-package: package
	tests/package/check_packages.sh build/package $(CURDIR)

test-package-install: package
	scripts/check-package-install.sh build/package

test-dev:
	cmake --preset dev >/dev/null
	cmake --build --preset dev
	ctest --preset dev

test-tsan:
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan
	ctest --preset tsan

# The library compiled by Clang with its lock analysis: an access to state that the manager's lock guards without
# that lock held does not compile.
test-threadsafety:
	cmake --preset threadsafety >/dev/null
	cmake --build --preset threadsafety

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
