# Front door for newcomers: every target drives CMake + Ninja.
BUILD_DIR    ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR     ?= build-fuzz
EXACT_DIR    ?= build-exactness
FUZZ_SECONDS ?= 60
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE        ?= cmake
EXAMPLE      := examples/melody.wav
EXAMPLE_OUT  := $(BUILD_DIR)/melody.pitch

.PHONY: all build run plot test sanitize bench fuzz exactness format clean

all: build

$(BUILD_DIR)/build.ninja:
	$(CMAKE) -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: $(BUILD_DIR)/build.ninja
	$(CMAKE) --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/pitchtrack $(EXAMPLE) $(EXAMPLE_OUT)
	@echo "Pitch contour of $(EXAMPLE) written to $(EXAMPLE_OUT):"
	@cat $(EXAMPLE_OUT)

# Draws the example's contour as a picture (rsvg-convert -o melody.png turns it into a PNG).
plot: run
	./$(BUILD_DIR)/pitchplot $(EXAMPLE_OUT) $(BUILD_DIR)/melody.svg
	@echo "Plot of $(EXAMPLE_OUT) written to $(BUILD_DIR)/melody.svg"

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

$(SANITIZE_DIR)/build.ninja:
	$(CMAKE) -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPT_SANITIZE=ON -DPT_BUILD_BENCH=OFF

sanitize: $(SANITIZE_DIR)/build.ninja
	$(CMAKE) --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# Builds the libFuzzer targets with clang in $(FUZZ_DIR), seeds them and runs each for
# FUZZ_SECONDS; any finding fails the target.
fuzz:
	FUZZ_DIR=$(FUZZ_DIR) FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) fuzz/run.sh

# Builds the tool with both compilers at -O0 and at the release level, with the sanitizers and
# for 64-bit Arm (run under qemu), forces each vector path and each glibc log/pow variant, and
# checks that every way gives the reference build's pitch files, output and exit status over a
# generated corpus, byte for byte. Ways this machine lacks are reported as skipped.
exactness:
	EXACTNESS_DIR=$(EXACT_DIR) JOBS=$(JOBS) tests/exactness/run.sh

bench: build
	./$(BUILD_DIR)/bench/pitchtrack_bench
	bench/run.sh $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(EXACT_DIR)
