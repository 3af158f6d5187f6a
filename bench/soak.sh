#!/usr/bin/env bash
# Soak run on long recordings: a 3-hour 8 kHz 8-bit recording and a 60-minute 44.1 kHz 16-bit
# one, synthesised into a temporary folder (removed afterwards), each analysed once by the built
# tool under /usr/bin/time. Prints elapsed time, peak memory and the contour length per
# recording, and fails when a run fails or its contour is implausible: more values than 32 ms
# frames at 8000 Hz, or fewer than half of them (the recordings are voiced most of the time).
#
#   bench/soak.sh [BUILD_DIR]        (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
TOOL=$PWD/$BUILD/pitchtrack
MAKE_RECORDING=$PWD/$BUILD/bench/make_recording
TIME=/usr/bin/time

cmake --build "$BUILD" --target pitchtrack make_recording >/dev/null
[ -x "$TIME" ] || { echo "soak: $TIME is missing (Debian package: time)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Samples at 8000 Hz after the tool's resampling: floor((n - 1) * 8000 / rate) + 1.
samples_at_8k() {
  local n=$1 rate=$2
  if [ "$rate" -eq 8000 ]; then echo "$n"; else echo $(((n - 1) * 8000 / rate + 1)); fi
}

status=0
soak() {  # name seconds rate bits
  local name=$1 seconds=$2 rate=$3 bits=$4
  local wav="$WORK/$name.wav" pitch="$WORK/$name.pitch" timing="$WORK/$name.time"
  "$MAKE_RECORDING" "$wav" "$seconds" "$rate" "$bits"
  local size samples
  size=$(stat -c %s "$wav")
  samples=$((seconds * rate))

  if ! "$TIME" -o "$timing" -f '%e s %M KB' "$TOOL" "$wav" "$pitch" >"$WORK/$name.out"; then
    echo "soak: $name: the tool failed:" >&2
    cat "$WORK/$name.out" "$timing" >&2
    status=1
    return
  fi
  local frames values
  frames=$(($(samples_at_8k "$samples" "$rate") / 256))
  if [ "$(cat "$pitch")" = "" ]; then values=0; else values=$(($(tr -cd '+' <"$pitch" | wc -c) + 1)); fi

  printf '%-22s %4d min  %6d MB  %s  %7d values of %7d frames\n' "$name" $((seconds / 60)) \
    $((size / 1048576)) "$(cat "$timing")" "$values" "$frames"
  if [ "$values" -gt "$frames" ] || [ "$values" -lt $((frames / 2)) ]; then
    echo "soak: $name: implausible contour length $values for $frames frames" >&2
    status=1
  fi
}

echo "recording               length    file   time and peak memory        contour"
soak 3h_8000Hz_8bit 10800 8000 8
soak 60min_44100Hz_16bit 3600 44100 16
exit $status
