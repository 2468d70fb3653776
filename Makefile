# Thin wrapper over the CMake presets.
#   make demo        install missing Debian packages, build, run the whole phone
#   make demo-mm     the same with the modem behind ModemManager (needs root)
#   make check       install missing Debian packages, build, run every test
#   make check-quick the same without the tests that wait for the long timers
#   make check-asan  the test suite built with ASan and UBSan
#   make fuzz        run each fuzzer (frames, message PDUs, modem bytes) for FUZZ_SECONDS
#   make cross       install what is missing, build for armel and arm64
#   make check-cross the same, then both test suites under qemu-user
#   make deb         the Debian package for this machine, checked with lintian
#                    and installed into a scratch root
#   make deb-cross   the same for armel and arm64 (installs the cross tools)
#   make man         lint the man pages
#   make bench       time the windows against a bare Xlib floor, BENCH_REPS
#                    runs each; sizes and wake-ups over BENCH_IDLE seconds
FUZZ_SECONDS ?= 60
BENCH_REPS ?= 30
BENCH_IDLE ?= 1

.PHONY: demo demo-mm check check-quick check-asan fuzz bench deps build clean cross check-cross cross-deps deb deb-cross man

check: build
	ctest --preset default

demo: build
	tools/demo/demo

demo-mm: build
	tools/demo/demo -M

check-quick: build
	ctest --preset quick

build: deps
	cmake --preset default
	cmake --build --preset default

check-asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz --target fuzzers
	tools/run-fuzzer build-fuzz $(FUZZ_SECONDS)

bench: build
	build/bench/phonebench --reps $(BENCH_REPS) --idle $(BENCH_IDLE)

deps:
	tools/install-deps

CROSS_ARCHES = armel arm64

cross: cross-deps
	for arch in $(CROSS_ARCHES); do \
	  cmake --preset $$arch && cmake --build --preset $$arch || exit 1; done

check-cross: cross
	for arch in $(CROSS_ARCHES); do ctest --preset $$arch || exit 1; done

cross-deps:
	tools/install-deps cross
	tools/enable-binfmt

deb:
	tools/install-deps package
	tools/build-deb

deb-cross: cross-deps
	tools/install-deps package
	for arch in $(CROSS_ARCHES); do tools/build-deb $$arch || exit 1; done

man:
	tools/install-deps package
	tools/check-man

clean:
	rm -rf build build-asan build-fuzz build-armel build-arm64 out/deb
