#!/usr/bin/env bash
# Soak of pitchtrack --live: a minute and an hour of 16 kHz 16-bit audio (make_recording), each
# fed through a pipe as fast as the tool takes it, under /usr/bin/time. Prints the frames
# written, elapsed and CPU time and the peak memory of each; the hour must not need more memory
# than the minute (nothing grows with the stream), and must give one line per 32 ms frame.
#
#   bench/live_soak.sh [BUILD_DIR]        (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
TOOL=$PWD/$BUILD/pitchtrack
MAKE_RECORDING=$PWD/$BUILD/bench/make_recording
cmake --build "$BUILD" --target pitchtrack_tool make_recording >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

declare -A peak
for seconds in 60 3600; do
  "$MAKE_RECORDING" "$WORK/in.wav" "$seconds" 16000 16
  cat "$WORK/in.wav" | /usr/bin/time -f '%e %U %S %M' -o "$WORK/time" \
    "$TOOL" --live - - | wc -l >"$WORK/lines"
  read -r elapsed user system kib <"$WORK/time"
  lines=$(cat "$WORK/lines")
  echo "$seconds s of audio: $lines frames, ${elapsed} s elapsed, ${user} s user, ${system} s" \
       "system, peak RSS ${kib} KiB"
  [ "$lines" -eq $((seconds * 16000 / 512)) ] || { echo "live_soak: wrong frame count" >&2; exit 1; }
  peak[$seconds]=$kib
done
[ "${peak[3600]}" -le $((peak[60] + 256)) ] || { echo "live_soak: memory grew" >&2; exit 1; }
echo "memory flat: ${peak[60]} KiB for a minute, ${peak[3600]} KiB for an hour"
