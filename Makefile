# Thin wrapper over the CMake presets.
#   make demo        install missing Debian packages, build, run the whole phone
#   make check       install missing Debian packages, build, run every test
#   make check-quick the same without the tests that wait for the long timers
#   make check-asan  the test suite built with ASan and UBSan
#   make fuzz        run the frame fuzzer for FUZZ_SECONDS
FUZZ_SECONDS ?= 60

.PHONY: demo check check-quick check-asan fuzz deps build clean

check: build
	ctest --preset default

demo: build
	tools/demo/demo

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
	cmake --build --preset fuzz --target frame_fuzzer
	tools/run-fuzzer build-fuzz $(FUZZ_SECONDS)

deps:
	tools/install-deps

clean:
	rm -rf build build-asan build-fuzz
