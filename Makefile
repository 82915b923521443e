# Set-up and everyday commands. `make run` and `make test` do everything on a
# fresh Debian 12 machine as root: install what is missing, build, then run.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# `make fuzz SECONDS=N` runs every fuzz target for N seconds from its corpus in
# fuzz/corpus/ and merges what it finds back into it.
SECONDS ?= 60

.PHONY: all deps build run test fuzz bench package clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900

fuzz: deps
	@bash scripts/fuzz.sh $(BUILD)-fuzz $(SECONDS)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target benches
	@bash scripts/bench.sh $(BUILD)

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
