# Front door for newcomers: every target drives CMake + Ninja.
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
TSAN_DIR     ?= build-tsan
FUZZ_DIR     ?= build-fuzz
EXACT_DIR    ?= build-exactness
FUZZ_SECONDS ?= 60
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE        ?= cmake
EXAMPLE      := examples/melody.wav
EXAMPLE_OUT  := $(BUILD_DIR)/melody.pitch

.PHONY: all build library tools run plot measure measure-speed test sanitize tsan bench fuzz exactness format clean python without-sndfile wasm web-test

all: build

$(BUILD_DIR)/build.ninja:
	$(CMAKE) -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: $(BUILD_DIR)/build.ninja
	$(CMAKE) --build $(BUILD_DIR) -j $(JOBS)

# The library alone, without the programs and their option parser (CLI11).
LIB_DIR ?= build-library
library:
	$(CMAKE) -S . -B $(LIB_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPT_BUILD_TOOLS=OFF \
	  -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF -DPT_BUILD_PYTHON=OFF
	$(CMAKE) --build $(LIB_DIR) -j $(JOBS)

# The tools alone: GoogleTest and Google Benchmark are not needed for them.
tools: $(BUILD_DIR)/build.ninja
	$(CMAKE) --build $(BUILD_DIR) -j $(JOBS) --target pitchtrack_tool pitchplot

run: tools
	./$(BUILD_DIR)/pitchtrack $(EXAMPLE) $(EXAMPLE_OUT)
	@echo "Pitch contour of $(EXAMPLE) written to $(EXAMPLE_OUT):"
	@cat $(EXAMPLE_OUT)

# Draws the example's contour as a picture (rsvg-convert -o melody.png turns it into a PNG).
plot: run
	./$(BUILD_DIR)/pitchplot $(EXAMPLE_OUT) $(BUILD_DIR)/melody.svg
	@echo "Plot of $(EXAMPLE_OUT) written to $(BUILD_DIR)/melody.svg"

# The README's tables of voicing, pitch and note measurements on generated recordings (the
# notes scored with mir_eval against aubionotes).
measure: build
	./$(BUILD_DIR)/tests/measure_voicing
	./$(BUILD_DIR)/tests/measure_precise
	$(PYTHON) tests/measure/measure_notes.py $(BUILD_DIR)
	./$(BUILD_DIR)/tests/make_note_melodies --speed

# The precise analysis' speed against aubiopitch on an hour of audio (writes a WAV file of
# some 300 MB to /tmp for the peer, removed afterwards).
measure-speed: build
	./$(BUILD_DIR)/tests/measure_speed /tmp

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The library and the tool built without libsndfile (WAV only) in $(NOSNDFILE_DIR): the golden
# WAV results unchanged, the other containers refused by name.
NOSNDFILE_DIR ?= build-without-sndfile
without-sndfile:
	WITHOUT_SNDFILE_DIR=$(NOSNDFILE_DIR) JOBS=$(JOBS) tests/without_sndfile.sh

$(SANITIZE_DIR)/build.ninja:
	$(CMAKE) -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPT_SANITIZE=ON -DPT_BUILD_BENCH=OFF

sanitize: $(SANITIZE_DIR)/build.ninja
	$(CMAKE) --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# The thread tests under ThreadSanitizer (the library's promise that threads may share it), and
# the live tests, whose reader and tool copy through pipes between threads.
$(TSAN_DIR)/build.ninja:
	$(CMAKE) -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPT_TSAN=ON -DPT_BUILD_BENCH=OFF

tsan: $(TSAN_DIR)/build.ninja
	$(CMAKE) --build $(TSAN_DIR) -j $(JOBS) --target pitchtrack_tests
	TSAN_OPTIONS=halt_on_error=1 ./$(TSAN_DIR)/tests/pitchtrack_tests \
	  --gtest_filter='Threads.*:Library.*:LiveFrames.*:LiveCli.*'

# Builds the libFuzzer targets with clang in $(FUZZ_DIR), seeds them and runs each for
# FUZZ_SECONDS; any finding fails the target.
fuzz:
	FUZZ_DIR=$(FUZZ_DIR) FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) fuzz/run.sh

# The Python package, built from python/ with pip into a virtual environment that also sees
# the system's packages (numpy, pybind11, setuptools): nothing is downloaded. The system
# Python, since the Debian packages belong to it.
PYTHON    ?= /usr/bin/python3
PY_VENV   := $(BUILD_DIR)/python-venv

python:
	$(PYTHON) -m venv --system-site-packages $(PY_VENV)
	$(PY_VENV)/bin/pip install --no-build-isolation --no-index --quiet ./python
	@echo "pitchtrack installed in $(PY_VENV): $(PY_VENV)/bin/python -c 'import pitchtrack'"

# Builds the tool with both compilers at -O0 and at the release level, with the sanitizers and
# for 64-bit Arm (run under qemu), forces each vector path and each glibc log/pow variant, and
# checks that every way gives the reference build's pitch files, output and exit status over a
# generated corpus, byte for byte. Ways this machine lacks are reported as skipped.
exactness:
	EXACTNESS_DIR=$(EXACT_DIR) JOBS=$(JOBS) tests/exactness/run.sh

# The WebAssembly module (web/dist/pitchtrack.mjs and .wasm) through Debian's emscripten and
# CMake's emscripten toolchain, the library's portable kernels, WAV only. emscripten's optimiser
# runs on node and needs acorn (Debian node-acorn), which node finds through NODE_PATH.
WASM_DIR     ?= build-wasm
EMSCRIPTEN_ENV := NODE_PATH=/usr/share/nodejs
wasm:
	$(EMSCRIPTEN_ENV) emcmake $(CMAKE) -S . -B $(WASM_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DPT_BUILD_TOOLS=OFF -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF -DPT_BUILD_PYTHON=OFF \
	  -DPT_WITH_SNDFILE=OFF
	$(EMSCRIPTEN_ENV) $(CMAKE) --build $(WASM_DIR) -j $(JOBS) --target pitchtrack_web

# The npm package's tests: under node against the native tool (the golden cases, every output
# format), then the page in headless Chromium (/usr/bin/chromium) through playwright-core,
# installed into web/node_modules from web/package-lock.json by `npm ci` (.ci/run does).
WEB_TEST_SECONDS ?= 300
web-test: tools wasm
	cd web && PITCHTRACK_BIN=$(abspath $(BUILD_DIR))/pitchtrack \
	  timeout $(WEB_TEST_SECONDS) node --test test/*.test.js

bench: build
	./$(BUILD_DIR)/bench/pitchtrack_bench
	bench/run.sh $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(WASM_DIR) web/dist $(LIB_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(FUZZ_DIR) $(EXACT_DIR) $(NOSNDFILE_DIR)
	rm -rf python/build python/pitchtrack.egg-info
