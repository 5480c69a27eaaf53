# Tarnwick: one command each to run, test and benchmark.
#   make run    build and start Tarnwick
#   make test   build with AddressSanitizer and UndefinedBehaviorSanitizer, run every test
#   make bench  build in Release and run the benchmarks
#   make demo   lay out build/demo with a sample catalogue and a demo emulator, and start it
#   make screenshot  picture the demo's main window under Xvfb into demo/screenshot.png
#   make package  build the Debian package build/tarnwick_<version>_<arch>.deb

JOBS ?= $(shell nproc)
# ccache, where installed, makes rebuilds of a second checkout cheap; the build works without it.
CCACHE := $(shell command -v ccache 2>/dev/null)
CMAKE_GEN = -G Ninja $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

.PHONY: all setup build run test bench clean format demo demo-folder screenshot package

all: build

setup:
	@./scripts/setup.sh

build: setup
	cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_TESTS=OFF
	cmake --build build -j $(JOBS)

# A desktop is needed to show the window: without one, say so in one line and stop.
HAVE_DISPLAY = $(if $(DISPLAY)$(WAYLAND_DISPLAY),,$(error Tarnwick needs a desktop: DISPLAY and WAYLAND_DISPLAY are both empty))

run:
	$(HAVE_DISPLAY)
	@$(MAKE) --no-print-directory build
	./build/app/Tarnwick

package: build
	cd build && cpack -G DEB

demo-folder: build
	cmake --build build --target TarnwickDemoEmulator
	python3 demo/make_demo.py build/app build/TarnwickDemoEmulator build/demo

demo: demo-folder
	$(HAVE_DISPLAY)
	./build/demo/Tarnwick

screenshot: demo-folder
	xvfb-run -a -s "-screen 0 1280x1024x24" demo/screenshot.sh build/demo demo/screenshot.png

test: setup
	cmake -S . -B build-test $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON
	cmake --build build-test -j $(JOBS)
	cd build-test && ctest --output-on-failure -j $(JOBS)

bench: setup
	cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	./bench/run.sh build-bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-test build-bench

# make fuzz: each reader of outside bytes under libFuzzer (the directory reader, the join of a
# volume set, the self-extractor conversions), each for its share of FUZZ_SECONDS (default 600).
FUZZ_SECONDS ?= 600
FUZZ_TARGETS = list join sfx
.PHONY: fuzz
fuzz:
	@./scripts/setup.sh fuzz
	cmake -S fuzz -B build-fuzz $(CMAKE_GEN) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j $(JOBS)
	./fuzz/seeds.sh build-fuzz/seeds/archives build-fuzz/seeds/sets
	@for t in $(FUZZ_TARGETS); do \
	  seeds=build-fuzz/seeds/archives; [ $$t = join ] && seeds=build-fuzz/seeds/sets; \
	  mkdir -p build-fuzz/corpus-$$t; \
	  echo "== zip_$${t}_fuzzer"; \
	  ./build-fuzz/zip_$${t}_fuzzer -max_total_time=$$(( $(FUZZ_SECONDS) / 3 )) -timeout=10 -rss_limit_mb=2048 \
	    -artifact_prefix=build-fuzz/$$t- build-fuzz/corpus-$$t $$seeds || exit 1; \
	done
