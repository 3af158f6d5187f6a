#!/usr/bin/env bash
# batch.sh DIR [JOBS]: runs pitchtrack over every *.wav directly inside DIR, writing X.pitch
# beside each X.wav, JOBS recordings at a time (default: one per core). The recordings are
# spread with GNU parallel when it is installed, otherwise with xargs -P.
#
# Environment:
#   PITCHTRACK               the tool to run; by default pitchtrack on the PATH, else the one in
#                            build/ of the checkout this script belongs to
#   PITCHTRACK_BATCH_RUNNER  "parallel" or "xargs" to choose the runner
#
# The tool's progress lines are dropped; a recording it fails on is reported on standard error
# with the tool's reason. Exit status: 0 when every recording was tracked, 1 when any failed
# or the tool cannot be run, 2 for a wrong command line.
set -euo pipefail

me=$(basename "$0")
usage() {
  echo "Usage: $me DIR [JOBS]" >&2
  exit 2
}

[ $# -ge 1 ] && [ $# -le 2 ] || usage
dir=$1
jobs=${2:-$(nproc 2>/dev/null || getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2)}
[[ $jobs =~ ^[1-9][0-9]*$ ]] || usage
if [ ! -d "$dir" ]; then
  echo "$me: $dir is not a directory" >&2
  exit 2
fi

tool=${PITCHTRACK:-}
if [ -z "$tool" ]; then
  tool=$(command -v pitchtrack || echo "$(cd "$(dirname "$0")/.." && pwd)/build/pitchtrack")
fi
if [ ! -x "$tool" ]; then
  echo "$me: cannot run $tool (install pitchtrack or set PITCHTRACK)" >&2
  exit 1
fi

runner=${PITCHTRACK_BATCH_RUNNER:-}
if [ -z "$runner" ]; then
  if command -v parallel >/dev/null 2>&1; then runner=parallel; else runner=xargs; fi
fi
if [ "$runner" != parallel ] && [ "$runner" != xargs ]; then
  echo "$me: unknown runner $runner (parallel or xargs)" >&2
  exit 2
fi

count=$(find "$dir" -mindepth 1 -maxdepth 1 -name '*.wav' \( -type f -o -type l \) -printf . |
  wc -c)
if [ "$count" -eq 0 ]; then
  echo "$me: no *.wav in $dir" >&2
  exit 0
fi

# One recording: $1 is the wave file. The tool's progress lines are dropped; its reason for a
# failure ("pitchtrack: FILE: REASON", on standard error) is passed on.
# shellcheck disable=SC2016  # expanded by the shell that runs each job
one='err=$("$0" "$1" "${1%.wav}.pitch" 2>&1 >/dev/null) || {
  printf "%s\n" "${err:-pitchtrack: $1: failed}" >&2
  exit 1
}'

list() { find "$dir" -mindepth 1 -maxdepth 1 -name '*.wav' \( -type f -o -type l \) -print0; }

status=0
if [ "$runner" = parallel ]; then
  list | parallel --will-cite -0 -j "$jobs" -q bash -c "$one" "$tool" {} || status=$?
else
  list | xargs -0 -n 1 -P "$jobs" bash -c "$one" "$tool" || status=$?
fi

if [ "$status" -ne 0 ]; then
  echo "$me: some of the $count recordings in $dir failed" >&2
  exit 1
fi
echo "$me: tracked $count recordings in $dir ($runner, $jobs jobs)"
