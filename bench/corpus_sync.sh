#!/usr/bin/env bash
# Times a corpus run to a real disk: 1,000 recordings of 8 s (8 kHz, 8-bit) tracked by one
# process with two threads into a new OUTDIR, median of RUNS runs (default 5) by hyperfine.
# The results are flushed to the disk before the run reports success, so the time includes
# making them durable.
#
#   bench/corpus_sync.sh [BUILD_DIR] [WORK_DIR]   (default: build, a new folder in /tmp)
#
# WORK_DIR must lie on the file system to measure (/tmp and /work are ext4 here, not tmpfs).
# Prints the load average before and after, the file system type and hyperfine's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
RUNS=${RUNS:-5}
TOOL=$PWD/$BUILD/pitchtrack
MAKE_RECORDING=$PWD/$BUILD/bench/make_recording
[ -x "$TOOL" ] && [ -x "$MAKE_RECORDING" ] || { echo "build first: make" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "needs hyperfine (Debian: hyperfine)" >&2; exit 1; }

KEEP=${2:-}  # a folder given is kept, with its recordings, for the next run
WORK=${KEEP:-$(mktemp -d /tmp/corpus_sync.XXXXXX)}
mkdir -p "$WORK/corpus"
[ -n "$KEEP" ] || trap 'rm -rf "$WORK"' EXIT

for ((i = 0; i < 1000; i++)); do
  [ -e "$WORK/corpus/r$i.wav" ] || "$MAKE_RECORDING" "$WORK/corpus/r$i.wav" 8 8000 8 $((i % 12))
done
sync

# Each run writes a new OUTDIR, and nothing is removed before the runs: on ext4 without a journal
# (as here) the inodes of files deleted in the last 60 s, or 360 s while their inode table has
# unwritten changes, are passed over one by one when new files are made, so removing earlier
# results shortly before a run would time that search instead. With WORK_DIR given, the results
# stay there (out-TIME-N); remove them at least six minutes before the next measurement.
cd "$WORK"
STAMP=$(date +%s)
echo "file system: $(df -T "$WORK" | awk 'NR == 2 {print $2}'), $(nproc) cores"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
hyperfine --runs 1 --style basic --export-json "$WORK/times.json" -L run $(seq -s, 1 "$RUNS") \
  "$TOOL -q -j 2 -r -o out-$STAMP-{run} corpus"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 -c 'import json, statistics, sys
results = json.load(open(sys.argv[1]))["results"]
wall = [r["times"][0] for r in results]
cpu = [r["user"] + r["system"] for r in results]
print("median %.3f s wall (min %.3f, max %.3f), median %.3f s CPU (user + system)"
      % (statistics.median(wall), min(wall), max(wall), statistics.median(cpu)))' "$WORK/times.json"
echo "results: $(find "out-$STAMP-1" -name '*.pitch' | wc -l) in out-$STAMP-1"
