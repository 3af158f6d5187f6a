#!/usr/bin/env bash
# Measures the built tool against aubiopitch (`-p yinfft -B 1024 -H 256`, the peer the targets
# name) on synthetic recordings and on an hour of real recordings, and writes bench/RESULTS.md.
#
#   bench/run.sh [BUILD_DIR] [corpus|hours]   (default: build; needs build/pitchtrack and
#                                              make_recording; "corpus" or "hours" measures that
#                                              table alone, to the terminal)
#
# Per input: audio seconds per CPU second (user + system), wall time and peak memory, each the
# median of RUNS runs (default 5) of the whole process, and the ratio to
# aubiopitch measured in the same run. Then a corpus of 1,000 recordings of 8 s processed with
# the tool's corpus mode, one process per file with xargs, and aubiopitch. The recordings are made
# in a temporary folder and removed after. Times come from bench/measure.py: each run forked by
# a small static wrapper that reads the child's own resource usage with wait4.
#
# With perf installed, a table of CPU milliseconds per stage follows (bench/stages.py) for the
# noisy hours; BEFORE=/path/to/an/older/pitchtrack adds that binary's columns beside this
# build's. The sections from "## Precise analysis beside the default" (tests/measure_speed's
# figures) or "## Python module" (python/bench.py's) to the end of the old RESULTS.md are kept
# at the end of the new one.
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

# measure CMD...: RUNS runs through the fork/wait4 wrapper; prints the medians "wall cpu peakKB"
export MEASURED_RUN=$PWD/$BUILD/bench/measured_run
PEER_CORPUS_RUNS=${PEER_CORPUS_RUNS:-3}
measure() { python3 bench/measure.py "$RUNS" "$@"; }
PEER_OPTIONS=(-p yinfft -B 1024 -H 256)

row() {  # name seconds rate bits [noise]
  local name=$1 seconds=$2 rate=$3 bits=$4 noise=${5:-0} file="$WORK/recording.wav"
  "$MAKE_RECORDING" "$file" "$seconds" "$rate" "$bits" 0 "$noise"
  local size; size=$(stat -c %s "$file")
  read -r wall cpu mem < <(measure "$TOOL" "$file" "$WORK/recording.pitch")
  local speed; speed=$(awk -v s="$seconds" -v c="$cpu" 'BEGIN {printf "%.0f", (c > 0) ? s / c : 0}')
  local peerCol="–" ratio="–"
  if [ -n "$PEER" ]; then
    read -r pwall pcpu pmem < <(measure aubiopitch "${PEER_OPTIONS[@]}" -i "$file")
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
  # The same files three ways: one process with two threads; xargs starting one process per
  # file, two at a time; and, for the cost of starting processes alone, an empty program.
  local list="$WORK/pairs"
  for ((i = 0; i < 1000; i++)); do printf '%s\0%s\0' "$WORK/corpus/r$i.wav" "$WORK/r$i.pitch"; done > "$list"
  for ((i = 0; i < 1000; i++)); do printf '%s\n' "$WORK/corpus/r$i.wav"; done > "$WORK/names"
  read -r ours oursCpu oursMem < <(measure "$TOOL" -q -j 2 -o "$WORK/out" --files-from "$WORK/names")
  read -r perFile perFileCpu _ < <(measure sh -c "xargs -0 -P 2 -n 2 '$TOOL' < '$list'")
  read -r floor _ _ < <(measure sh -c "xargs -0 -P 2 -n 2 '$FLOOR' < '$list'")
  local peer="–" ratio="–"
  if [ -n "$PEER" ]; then
    read -r peer _ _ < <(python3 bench/measure.py "$PEER_CORPUS_RUNS" \
      sh -c "find '$WORK/corpus' -name '*.wav' -print0 | xargs -0 -P 2 -n 1 aubiopitch -p yinfft -i")
    ratio=$(awk -v a="$ours" -v b="$peer" 'BEGIN {printf "%.0f x", b / a}')
  fi
  printf '| one process, `-j 2 -o` | %.3f s | %.3f s | %s MB | – | %s |\n' "$ours" "$oursCpu" \
    "$((oursMem / 1024))" "$ratio"
  printf '| one process per file, `xargs -P 2 -n 2` | %.3f s | %.3f s | – | %s x | – |\n' \
    "$perFile" "$perFileCpu" "$(awk -v a="$ours" -v b="$perFile" 'BEGIN {printf "%.1f", b / a}')"
  printf '| the same xargs starting an empty program 1,000 times | %.3f s | – | – | – | – |\n' "$floor"
  [ -z "$PEER" ] || printf '| aubiopitch -p yinfft, `xargs -P 2 -n 1` (median of %s) | %.3f s | – | – | – | – |\n' \
    "$PEER_CORPUS_RUNS" "$peer"
}

# One hour of Debian-packaged sounds, speech and the project's singing (bench/real_hour.sh) at
# 8 kHz 8-bit and 44.1 kHz 16-bit: the tool, its precise analysis and the peer, interleaved.
hours() {
  bench/real_hour.sh "$BUILD" "$WORK/hour"
  echo
  echo "| input | program | audio s per CPU s | CPU (user + sys) | wall | peak memory | rate / peer's on the 8 kHz hour | rate / peer's on this file |"
  echo "|---|---|---|---|---|---|---|---|"
  if [ -n "$PEER" ]; then
    python3 bench/hour_rows.py "$RUNS" "$TOOL" "$WORK/hour/real8.wav" "$WORK/hour/real44.wav"
  else
    echo "(aubiopitch is missing: no table of the real hour)"
  fi
  rm -rf "$WORK/hour"
}

if [ "${2:-}" = corpus ]; then
  corpus
  exit 0
fi
if [ "${2:-}" = hours ]; then
  hours
  exit 0
fi

# Noisy hours: white noise at 0.4 of full scale gives the autocorrelation about 23 raw
# candidates per frame, as the recordings of the profile in issue 14 have.
NOISE=0.4
stages() {
  command -v perf >/dev/null 2>&1 || { echo "(perf is missing: no stage table)"; return; }
  "$MAKE_RECORDING" "$WORK/noisy8.wav" 3600 8000 8 0 "$NOISE"
  "$MAKE_RECORDING" "$WORK/noisy44.wav" 3600 44100 16 0 "$NOISE"
  "$MAKE_RECORDING" "$WORK/clean8.wav" 3600 8000 8
  local tools=()
  [ -n "${BEFORE:-}" ] && tools+=("before=$BEFORE")
  tools+=("this build=$TOOL")
  python3 bench/stages.py "$RUNS" "${tools[@]}" -- "$WORK/noisy8.wav" "$WORK/noisy44.wav" \
    "$WORK/clean8.wav"
  rm -f "$WORK/noisy8.wav" "$WORK/noisy44.wav" "$WORK/clean8.wav"
}

PYTHON_SECTION=$WORK/python-section.md
[ -f "$OUT" ] && sed -n '/^## Precise analysis beside the default\|^## Python module/,$p' "$OUT" > "$PYTHON_SECTION"

{
  echo "# Performance figures"
  echo
  echo "Produced by \`bench/run.sh\` on $(date -u +%Y-%m-%d): $(nproc) cores," \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(uname -sr)," \
    "load average at start $(cut -d' ' -f1 /proc/loadavg). Whole process, medians of $RUNS runs."
  echo
  echo "| input | file | audio s per CPU s | wall | CPU (user + sys) | peak memory | aubiopitch -p yinfft -B 1024 -H 256 | speed ratio |"
  echo "|---|---|---|---|---|---|---|---|"
  row "10 s, 8 kHz 8-bit" 10 8000 8
  row "1 min, 8 kHz 8-bit" 60 8000 8
  row "10 min, 8 kHz 8-bit" 600 8000 8
  row "60 min, 8 kHz 8-bit" 3600 8000 8
  row "60 min, 8 kHz 8-bit, noisy" 3600 8000 8 "$NOISE"
  row "10 s, 44.1 kHz 16-bit" 10 44100 16
  row "60 min, 44.1 kHz 16-bit" 3600 44100 16
  row "60 min, 44.1 kHz 16-bit, noisy" 3600 44100 16 "$NOISE"
  read -r _ floorCpu floorMem < <(measure "$FLOOR")
  printf '| no analysis: an empty program linked like the tool (starting a process) | – | – | – | %.4f s | %s MB | – | – |\n' \
    "$floorCpu" "$((floorMem / 1024))"
  echo
  echo "One hour of real recordings (\`bench/real_hour.sh\`: the sounds of sound-icons, alsa-utils," \
    "puredata-doc and supercollider-common, a passage spoken by eight espeak-ng voices and the" \
    "project's generated singing, repeated to 3600 s), every program once per round, medians of" \
    "$RUNS rounds (\`bench/hour_rows.py\`):"
  hours
  echo
  echo "1,000 recordings of 8 s at 8 kHz 8-bit (2.2 hours of audio):"
  echo
  echo "| corpus run | wall | CPU | peak memory | one process faster by | faster than aubiopitch by |"
  echo "|---|---|---|---|---|---|"
  corpus
  echo
  echo "CPU milliseconds per stage (\`bench/stages.py\`: medians of $RUNS runs split by \`perf record\`" \
    "samples; noisy = white noise at $NOISE of full scale, clean = the tone alone${BEFORE:+; before =" \
    "$BEFORE}):"
  echo
  stages
  echo
  cat bench/targets.md
  if [ -s "$PYTHON_SECTION" ]; then
    echo
    cat "$PYTHON_SECTION"
  fi
} > "$WORK/results.md"
cat "$WORK/results.md"
cp "$WORK/results.md" "$OUT"
