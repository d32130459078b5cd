# make demo  - install what is missing, build, and open Lanscout on simulated cameras
# make test  - install what is missing, build, and run every test
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=

.PHONY: all deps configure build test demo screenshot clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 600 -j2

demo: build
	bash scripts/demo.sh $(BUILD)

screenshot: build
	bash scripts/screenshot.sh $(BUILD)

clean:
	rm -rf $(BUILD)
