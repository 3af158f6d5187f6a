#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own build directory, writes the seed corpora and
# runs every target for FUZZ_SECONDS (default 60). Exits nonzero on the first finding; the
# input that triggered it is left in $FUZZ_DIR/findings/.
#
#   fuzz/run.sh [target...]     FUZZ_SECONDS=600 FUZZ_DIR=build-fuzz JOBS=4
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_DIR=${FUZZ_DIR:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(wave_reader_fuzz pipeline_fuzz cli_text_fuzz)
  # The containers' target exists when the fuzz build found libsndfile.
  pkg-config --exists sndfile 2>/dev/null && targets+=(container_fuzz)
fi

# Per-target limits: wave files are mostly headers; pipeline inputs need room for a few frames
# at high sample rates.
max_len() {
  case "$1" in
    wave_reader_fuzz | container_fuzz) echo 16384 ;;
    pipeline_fuzz) echo 131072 ;;
    *) echo 4096 ;;
  esac
}

if [ ! -f "$FUZZ_DIR/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPT_BUILD_FUZZ=ON -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF
fi
cmake --build "$FUZZ_DIR" -j "$JOBS" --target make_fuzz_seeds "${targets[@]}"
"$FUZZ_DIR/fuzz/make_fuzz_seeds" "$FUZZ_DIR/corpus"
mkdir -p "$FUZZ_DIR/findings"

# Seeds of the containers: a short tone in each container sox writes, when sox is there.
seeds="$FUZZ_DIR/corpus/container_fuzz"
mkdir -p "$seeds"
if command -v sox >/dev/null; then
  for kind in "flac -b 16" "flac -b 24 -c 2" "aiff -b 8" "aifc -e floating-point" "au -e mu-law" \
              "caf -b 16 -c 2" "w64 -b 24" "ogg -c 1"; do
    set -- $kind
    sox -D -n -r 8000 "${@:2}" -t "$1" "$seeds/${kind// /_}" synth 0.05 sine 300 2>/dev/null || true
  done
fi

for target in "${targets[@]}"; do
  echo "== $target for ${FUZZ_SECONDS}s"
  mkdir -p "$FUZZ_DIR/corpus/$target"
  # libFuzzer exits nonzero on a crash, a sanitizer report, a leak, a timeout or an allocation
  # above the limit; set -e turns that into this script's failure.
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
    "$FUZZ_DIR/fuzz/$target" -max_total_time="$FUZZ_SECONDS" -max_len="$(max_len "$target")" \
    -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$FUZZ_DIR/findings/$target-" "$FUZZ_DIR/corpus/$target"
done
