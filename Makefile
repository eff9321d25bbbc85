# Thin wrapper over CMake. `make run` builds and starts the player,
# `make test` builds and runs every test. Both install missing packages first.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?=
# Warnings in our own code fail every build made here (CI builds through these targets);
# WERROR=OFF lets a newer compiler's new warnings through while they are looked at.
WERROR   ?= ON

.PHONY: deps configure build run test sanitize asan tsan fuzz bench coverage clean

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVEL_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/sorvel

test: build
	./scripts/run-tests.sh $(BUILD)

asan: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORVEL_WERROR=$(WERROR) -DSORVEL_SANITIZE=address -DSORVEL_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	./scripts/run-tests.sh build-asan

tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORVEL_WERROR=$(WERROR) -DSORVEL_SANITIZE=thread -DSORVEL_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	./scripts/run-tests.sh build-tsan -L threads

sanitize: asan tsan

fuzz: deps
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DSORVEL_FUZZ=ON -DSORVEL_WERROR=$(WERROR) -DSORVEL_BUILD_TESTS=OFF -DSORVEL_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	./scripts/run-fuzz.sh build-fuzz

bench: build
	./scripts/run-bench.sh $(BUILD)

# Branch coverage of the PulseAudio output by its tests (not part of `make test`).
coverage: deps
	./scripts/coverage-pulse.sh build-coverage

clean:
	rm -rf build build-asan build-tsan build-fuzz build-coverage
