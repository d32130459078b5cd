# make demo  - install what is missing, build, and open Lanscout on simulated cameras
# make test  - install what is missing, build, and run every test
# make package - build lanscout_<version>_<arch>.deb in $(BUILD)
# make install [PREFIX=/usr/local] [DESTDIR=...] - install the package's files
# make windows - cross-build lanscout.exe, lanscout-cli.exe, their zip and setup program in $(WINDOWS_BUILD)
# make windows-test - the Windows programs' tests under Wine (README.md, "Windows")
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=

WINDOWS_BUILD ?= build-windows

.PHONY: all deps configure build test demo screenshot clean fuzz package install windows windows-test

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 600 -j2

package: build
	rm -f $(BUILD)/lanscout_*.deb
	cd $(BUILD) && cpack -G DEB

PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

demo: build
	bash scripts/demo.sh $(BUILD)

screenshot: build
	bash scripts/screenshot.sh $(BUILD)

# make fuzz - build the fuzz targets with clang and libFuzzer in $(FUZZ_BUILD), run each
# FUZZ_SECONDS on its corpus; new inputs go to $(FUZZ_BUILD)/corpus, crashes to
# $(FUZZ_BUILD)/crashes (README.md, "Fuzzing")
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_reply_datagram fuzz_video_config fuzz_http_result fuzz_version_file fuzz_camera_file

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLANSCOUT_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target $(FUZZ_TARGETS)
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/crashes/$$t; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  nice -n 10 $(FUZZ_BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t/ $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t; \
	done

# The libraries for Windows are built once into a cache outside the tree
# (scripts/windows-deps.sh); the Linux build in $(BUILD) gives the tests camsim and the lab.
windows:
	@bash scripts/install-deps.sh --windows
	deps=$$(bash scripts/windows-deps.sh) && \
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DLANSCOUT_WIN_DEPS="$$deps" \
	      -DLANSCOUT_HOST_BUILD=$(abspath $(BUILD)) $(CMAKE_ARGS)
	cmake --build $(WINDOWS_BUILD)

windows-test: build windows
	bash tests/windows/run-tests.sh $(WINDOWS_BUILD) -j2

clean:
	rm -rf $(BUILD)
