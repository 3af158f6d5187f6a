#!/usr/bin/env bash
# Measures the built tool against aubiopitch (-p yinfft, the fastest peer) on synthetic
# recordings and writes bench/RESULTS.md.
#
#   bench/run.sh [BUILD_DIR]        (default: build; needs build/pitchtrack and make_recording)
#
# Per input: audio seconds per CPU second (user + system), wall time and peak memory, each the
# median of RUNS runs (default 5) of the whole process, and the ratio to
# aubiopitch measured in the same run. Then a corpus of 1,000 recordings of 8 s processed with
# xargs -P 2 by both tools. The recordings are made in a temporary folder and removed after.
# Times come from bench/measure.py (the kernel's accounting of each run, in microseconds).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
RUNS=${RUNS:-5}
TOOL=$PWD/$BUILD/pitchtrack
MAKE_RECORDING=$PWD/$BUILD/bench/make_recording
FLOOR=$PWD/$BUILD/bench/process_floor
OUT=bench/RESULTS.md
[ -x "$TOOL" ] && [ -x "$MAKE_RECORDING" ] && [ -x "$FLOOR" ] || { echo "build first: make" >&2; exit 1; }
if command -v aubiopitch >/dev/null 2>&1; then PEER=aubiopitch; else
  PEER=""; echo "aubiopitch is missing (Debian package: aubio-tools): measuring pitchtrack alone" >&2
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# measure CMD...: RUNS runs; prints the medians "wall cpu peakKB"
measure() { python3 bench/measure.py "$RUNS" "$@"; }

row() {  # name seconds rate bits
  local name=$1 seconds=$2 rate=$3 bits=$4 file="$WORK/recording.wav"
  "$MAKE_RECORDING" "$file" "$seconds" "$rate" "$bits"
  local size; size=$(stat -c %s "$file")
  read -r wall cpu mem < <(measure "$TOOL" "$file" "$WORK/recording.pitch")
  local speed; speed=$(awk -v s="$seconds" -v c="$cpu" 'BEGIN {printf "%.0f", (c > 0) ? s / c : 0}')
  local peerCol="–" ratio="–"
  if [ -n "$PEER" ]; then
    read -r pwall pcpu pmem < <(measure aubiopitch -p yinfft -i "$file")
    local pspeed; pspeed=$(awk -v s="$seconds" -v c="$pcpu" 'BEGIN {printf "%.0f", (c > 0) ? s / c : 0}')
    peerCol="$pspeed audio s/CPU s, $(printf '%.3f' "$pwall") s wall, $((pmem / 1024)) MB"
    ratio=$(awk -v a="$speed" -v b="$pspeed" 'BEGIN {printf "%.1f x", (b > 0) ? a / b : 0}')
  fi
  printf '| %s | %s MB | %s | %.3f s | %.3f s | %s MB | %s | %s |\n' "$name" \
    "$(awk -v b="$size" 'BEGIN {printf "%.1f", b / 1048576}')" "$speed" "$wall" "$cpu" \
    "$((mem / 1024))" "$peerCol" "$ratio"
}

corpus() {
  mkdir -p "$WORK/corpus"
  local i
  for ((i = 0; i < 1000; i++)); do
    "$MAKE_RECORDING" "$WORK/corpus/r$i.wav" 8 8000 8 $((i % 12)) 
  done
  local start end ours peer="–"
  start=$(date +%s.%N)
  find "$WORK/corpus" -name '*.wav' -print0 | xargs -0 -P 2 -I{} "$TOOL" {} {}.pitch >/dev/null
  end=$(date +%s.%N)
  ours=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.2f", b - a}')
  if [ -n "$PEER" ]; then
    start=$(date +%s.%N)
    find "$WORK/corpus" -name '*.wav' -print0 |
      xargs -0 -P 2 -I{} aubiopitch -p yinfft -i {} >/dev/null
    end=$(date +%s.%N)
    peer=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.2f", b - a}')
  fi
  echo "| 1,000 recordings of 8 s, 8 kHz 8-bit, xargs -P 2 | ${ours} s wall | ${peer} s wall |" \
    "$(awk -v a="$ours" -v b="$peer" 'BEGIN {if (b + 0 > 0) printf "%.1f x", b / a; else print "–"}') |"
  start=$(date +%s.%N)
  find "$WORK/corpus" -name '*.wav' -print0 | xargs -0 -P 2 -I{} "$FLOOR" {} {}.pitch
  end=$(date +%s.%N)
  echo "| the same 1,000 files through an empty program (starting the processes alone) |" \
    "$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.2f", b - a}') s wall | – | – |"
}

{
  echo "# Performance figures"
  echo
  echo "Produced by \`bench/run.sh\` on $(date -u +%Y-%m-%d): $(nproc) cores," \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(uname -sr)," \
    "load average at start $(cut -d' ' -f1 /proc/loadavg). Whole process, medians of $RUNS runs."
  echo
  echo "| input | file | audio s per CPU s | wall | CPU (user + sys) | peak memory | aubiopitch -p yinfft | speed ratio |"
  echo "|---|---|---|---|---|---|---|---|"
  row "10 s, 8 kHz 8-bit" 10 8000 8
  row "1 min, 8 kHz 8-bit" 60 8000 8
  row "10 min, 8 kHz 8-bit" 600 8000 8
  row "60 min, 8 kHz 8-bit" 3600 8000 8
  row "10 s, 44.1 kHz 16-bit" 10 44100 16
  row "60 min, 44.1 kHz 16-bit" 3600 44100 16
  read -r _ floorCpu floorMem < <(measure "$FLOOR")
  printf '| no analysis: an empty program linked like the tool (starting a process) | – | – | – | %.4f s | %s MB | – | – |\n' \
    "$floorCpu" "$((floorMem / 1024))"
  echo
  echo "| corpus | pitchtrack | aubiopitch -p yinfft | pitchtrack faster by |"
  echo "|---|---|---|---|"
  corpus
  echo
  cat bench/targets.md
} | tee "$OUT"
