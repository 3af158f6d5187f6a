#!/usr/bin/env bash
# The build without libsndfile: configures and builds the tool with -DPT_WITH_SNDFILE=OFF in a
# scratch folder, then checks that WAV files still give the golden results byte for byte, that
# --version says WAV only, and that the other containers are refused by name, from a file and
# from standard input, with standard output left to the contour. Prints every failed check.
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
dir=${WITHOUT_SNDFILE_DIR:-$src/build-without-sndfile}
cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPT_WITH_SNDFILE=OFF \
  -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF -DPT_BUILD_PYTHON=OFF >/dev/null || exit 2
cmake --build "$dir" -j "${JOBS:-2}" --target pitchtrack_tool >/dev/null || exit 2
tool=$dir/pitchtrack
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
status=0

# check NAME EXPECTED ACTUAL
check() {
  if [ "$2" != "$3" ]; then
    printf 'FAILED %s:\n  expected: %q\n  got:      %q\n' "$1" "$2" "$3"
    status=1
  fi
}

check "version, first line" "pitchtrack 2.0.0" "$("$tool" --version | sed -n 1p)"
check "version, formats" "formats: WAV only (built without libsndfile)" \
  "$("$tool" --version | sed -n 2p)"

for case in "$src"/tests/data/golden/*/; do
  name=$(basename "$case")
  out=$("$tool" "$case/in.wav" out.pitch)
  code=$?
  check "$name status" "$(cat "$case/status.txt")" "$code"
  check "$name stdout" "$(cat "$case/stdout.txt")" "$out"
  if [ -f "$case/expected.pitch" ]; then
    cmp -s out.pitch "$case/expected.pitch" || check "$name pitch file" same differs
  fi
  rm -f out.pitch
done

printf 'fLaC\0\0\0\042' > song.flac
out=$("$tool" song.flac song.pitch 2>err)
check "flac status" 1 "$?"
check "flac line" "Error: cannot open wave file song.flac!" "$out"
check "flac reason" "pitchtrack: song.flac: FLAC not supported: built without libsndfile" "$(cat err)"

printf 'ID3\004\0\0\0\0\0\0' > song.mp3
out=$("$tool" - - < song.mp3 2>err)
check "mp3 on standard input, status" 1 "$?"
check "mp3 on standard input, standard output" "" "$out"
check "mp3 on standard input, standard error" \
  "Error: cannot open wave file -!
pitchtrack: -: MP3 not supported: built without libsndfile" "$(cat err)"

[ $status -eq 0 ] && echo "without libsndfile: all checks passed"
exit $status
