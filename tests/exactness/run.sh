#!/usr/bin/env bash
# make exactness: builds the tool in several ways, runs every build over one corpus of
# recordings and checks that each writes the same pitch file, the same standard output and
# standard error, and exits with the same status as the reference build (GCC at the release
# level, statically linked: the default build), byte for byte.
#
# The ways: GCC and clang at -O0 and at the release level; the sanitizer build; each vector
# path of the kernels forced through PITCHTRACK_SIMD; the other log/pow variants of glibc's math
# library, forced through GLIBC_TUNABLES; and a 64-bit Arm build run under qemu. A way that this
# machine cannot provide is reported as SKIP with the reason, never as passed.
#
# Environment: EXACTNESS_DIR (default build-exactness) holds the builds, the corpus and the
# results; JOBS (default 2) is the build and run parallelism.
# Exit status: 0 when no variant failed, 1 otherwise.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1

ROOT=${EXACTNESS_DIR:-build-exactness}
JOBS=${JOBS:-2}
REFERENCE=gcc-release
STARTED=$SECONDS
ROWS=()
FAILED=0

mkdir -p "$ROOT"
ROOT=$(cd "$ROOT" && pwd)
CORPUS=$ROOT/corpus
RESULTS=$ROOT/results

say() { printf '== %s\n' "$*"; }

# row NAME STATUS FILES-COMPARED REASON
row() {
  ROWS+=("$1|$2|$3|$4")
  [ "$2" = FAIL ] && FAILED=1
  say "$1: $2${4:+ ($4)}"
}

LAUNCHER=()
command -v ccache > /dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# The build target of the tool: pitchtrack_tool where the library has the name pitchtrack.
tool_target() {
  if grep -q '^build pitchtrack_tool: phony' "$1/build.ninja"; then
    echo pitchtrack_tool
  else
    echo pitchtrack
  fi
}

# build NAME CMAKE-ARGS...: configures $ROOT/NAME and builds the tool there (NAME/pitchtrack);
# the log goes to NAME.log.
build() {
  local name=$1
  shift
  say "building $name"
  {
    cmake -S . -B "$ROOT/$name" -G Ninja -DPT_BUILD_TESTS=OFF -DPT_BUILD_BENCH=OFF \
      "${LAUNCHER[@]}" "$@" &&
      cmake --build "$ROOT/$name" -j "$JOBS" --target "$(tool_target "$ROOT/$name")"
  } > "$ROOT/$name.log" 2>&1
}

# One recording: runs in RESULTS/VARIANT/RECORDING with the same relative paths for every
# variant, so that the messages naming the files are the same too. Called through xargs, with
# VARIANT_DIR, TOOL, RUN_ENV and RUN_PREFIX in the environment.
# shellcheck disable=SC2317,SC2153
run_recording() {
  local wav=$1 name dir
  name=$(basename "$wav" .wav)
  dir=$VARIANT_DIR/$name
  mkdir -p "$dir" && cd "$dir" || return 1
  # shellcheck disable=SC2086 # RUN_ENV and RUN_PREFIX are lists of words
  env $RUN_ENV timeout 300 $RUN_PREFIX "$TOOL" "../../../corpus/$name.wav" out.pitch \
    > stdout 2> stderr
  echo $? > status
  # The precise analysis, with its measured frequencies and confidences.
  # shellcheck disable=SC2086
  env $RUN_ENV timeout 300 $RUN_PREFIX "$TOOL" -q --precise --format=csv \
    "../../../corpus/$name.wav" precise.csv > /dev/null 2> precise.stderr
  echo $? >> precise.stderr
}
export -f run_recording

# run VARIANT TOOL [ENV-ASSIGNMENTS [PREFIX]]: runs the tool over the whole corpus.
# shellcheck disable=SC2016 # $1 belongs to the inner shell
run_variant() {
  say "running $1 over the corpus"
  rm -rf "${RESULTS:?}/$1"
  mkdir -p "$RESULTS/$1"
  find "$CORPUS" -name '*.wav' -print0 | sort -z |
    VARIANT_DIR=$RESULTS/$1 TOOL=$2 RUN_ENV=${3:-} RUN_PREFIX=${4:-} \
      xargs -0 -P "$JOBS" -n 1 bash -c 'run_recording "$1"' _
}

# Compares a variant's results with the reference's; prints the number of files compared (the
# pitch file, standard output, standard error and exit status of each recording) and writes the
# ones that differ to VARIANT.diff. Returns 1 when any differs.
compare() {
  local variant=$1 differing=0 count=0 name file
  : > "$ROOT/$variant.diff"
  for dir in "$RESULTS/$REFERENCE"/*/; do
    name=$(basename "$dir")
    for file in out.pitch stdout stderr status precise.csv precise.stderr; do
      count=$((count + 1))
      # A file that neither run wrote (the pitch file of a refused recording) matches.
      [ -e "$dir/$file" ] || [ -e "$RESULTS/$variant/$name/$file" ] || continue
      if ! cmp -s "$dir/$file" "$RESULTS/$variant/$name/$file"; then
        echo "$name/$file" >> "$ROOT/$variant.diff"
        differing=1
      fi
    done
    if compgen -G "$RESULTS/$variant/$name/error_*.log" > /dev/null; then
      echo "$name/error log (internal fault)" >> "$ROOT/$variant.diff"
      differing=1
    fi
  done
  echo "$count"
  return "$differing"
}

# check VARIANT NOTE: compares and records the row.
check() {
  local count
  if count=$(compare "$1"); then
    row "$1" PASS "$count" "$2"
  else
    row "$1" FAIL "$count" \
      "$2; differs: $(head -3 "$ROOT/$1.diff" | paste -sd ' ') (all in $1.diff)"
  fi
}

compiler_version() { "$1" --version | head -1 | sed 's/ (.*)//'; }

# The optimisation flags a build directory was configured with, for the table.
build_flags() {
  local type
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$ROOT/$1/CMakeCache.txt")
  sed -n "s/^CMAKE_CXX_FLAGS_${type^^}:STRING=//p" "$ROOT/$1/CMakeCache.txt"
}

# --- the corpus -----------------------------------------------------------------------------

make_corpus() {
  say "generating the corpus"
  {
    cmake -S . -B "$ROOT/corpus-tool" -G Ninja -DPT_BUILD_BENCH=OFF "${LAUNCHER[@]}" &&
      cmake --build "$ROOT/corpus-tool" -j "$JOBS" --target make_corpus
  } > "$ROOT/corpus-tool.log" 2>&1 || return 1
  rm -rf "$CORPUS"
  "$ROOT/corpus-tool/tests/make_corpus" "$CORPUS" || return 1
  for golden in tests/data/golden/*/; do
    cp "$golden/in.wav" "$CORPUS/golden_$(basename "$golden").wav"
  done
}

# The golden cases of the reference run must match their recorded outputs.
check_golden() {
  local golden name bad=0
  for golden in tests/data/golden/*/; do
    name=$RESULTS/$REFERENCE/golden_$(basename "$golden")
    cmp -s "$golden/expected.pitch" "$name/out.pitch" || bad=1
    cmp -s "$golden/status.txt" "$name/status" || bad=1
    cmp -s "$golden/stdout.txt" "$name/stdout" || bad=1
  done
  return "$bad"
}

# --- which code a run takes ------------------------------------------------------------------

# functions_like TOOL REGEX: "ADDRESS NAME" of the tool's functions whose (demangled) name
# matches; NAME is the bare function name, without template arguments.
functions_like() {
  nm -C "$1" 2> /dev/null | awk -v re="$2" '$2 ~ /^[tT]$/ {
    name = $0; sub(/^[^ ]+ [^ ]+ /, "", name); gsub(/\(anonymous namespace\)/, "", name)
    sub(/\(.*/, "", name); sub(/.*::/, "", name); sub(/<.*/, "", name)
    if (name ~ re) print $1, name
  }'
}

# The addresses of functions_like as a run under gdb sees them: a position-independent tool is
# loaded at gdb's fixed base (gdb turns address randomisation off), others where nm says.
run_addresses() {
  local base=0
  readelf -h "$1" 2> /dev/null | grep -q 'Type: *DYN' && base=0x555555554000
  while read -r address name; do
    printf '%x %s\n' $((0x$address + base)) "$name"
  done
}

# called TOOL REGEX ENV-ASSIGNMENT: the functions matching REGEX that one run of the tool over
# a golden recording (44.1 kHz, so it is resampled too) calls, found with gdb breakpoints.
called() {
  local tool=$1 regex=$2 assignment=$3 script wav functions
  functions=$(functions_like "$tool" "$regex" | run_addresses "$tool")
  [ -n "$functions" ] || return 0
  script=$(mktemp)
  wav=$(find "$CORPUS" -name 'golden_03_*.wav' | head -1)
  {
    echo "set pagination off"
    echo "$functions" | awk '{print "break *0x" $1}'
    echo "commands 1-$(echo "$functions" | wc -l)"
    printf 'silent\ncontinue\nend\nrun\ninfo breakpoints\n'
  } > "$script"
  mkdir -p "$ROOT/gdb-run"
  (cd "$ROOT/gdb-run" && gdb -batch -nx -ex "set environment $assignment" \
    -x "$script" --args "$tool" "$wav" out.pitch 2>&1) |
    awk '/^[0-9]+ +breakpoint/ {number = $1} /already hit/ {print number}' |
    while read -r number; do echo "$functions" | sed -n "${number}p" | cut -d' ' -f2; done |
    sort -u | paste -sd ' '
  rm -f "$script"
}

# --- glibc math variants ---------------------------------------------------------------------

# The log and pow variants that a static x86-64 glibc carries (fma, fma4, avx, sse2).
LIBM_VARIANTS='^__ieee754_(log|pow)_(fma|fma4|avx|sse2)$'
selected_libm() { called "$1" "$LIBM_VARIANTS" "GLIBC_TUNABLES=$2" | sed 's/__ieee754_//g'; }

libm_variant() {
  local name=$1 tunables=$2 tool=$ROOT/$REFERENCE/pitchtrack selected default
  if [ -z "$(functions_like "$tool" "$LIBM_VARIANTS")" ]; then
    row "$name" SKIP 0 "the tool has no alternative log/pow variants (not a static x86-64 glibc)"
    return
  fi
  if command -v gdb > /dev/null; then
    default=$(selected_libm "$tool" "")
    selected=$(selected_libm "$tool" "$tunables")
    if [ -z "$selected" ]; then
      row "$name" SKIP 0 "cannot see under gdb which log/pow the tool calls"
      return
    fi
    if [ "$selected" = "$default" ]; then
      row "$name" SKIP 0 "GLIBC_TUNABLES=$tunables selects the default $default here"
      return
    fi
  else
    selected="selection not verified: no gdb"
  fi
  run_variant "$name" "$tool" "GLIBC_TUNABLES=$tunables"
  check "$name" "GLIBC_TUNABLES=$tunables: $selected${default:+ (default $default)}"
}

# --- vector paths -----------------------------------------------------------------------------

# The kernels of each vector path: autocorrelation, path search and resampling.
KERNELS='^((portable|avx2|avx512)Kernel|link(Portable|Avx2|Avx512)|interpolateRun(Portable|Avx2))$'

# Whether the kernels a forced run called belong to that path: the widest one it asks for,
# nothing wider.
kernels_match() {
  case $1 in
    portable) [[ $2 != *vx* ]] ;;
    avx2) [[ $2 == *avx2Kernel* && $2 == *linkAvx2* && $2 != *vx512* ]] ;;
    avx512) [[ $2 == *avx512Kernel* && $2 == *linkAvx512* ]] ;;
  esac
}

simd_variant() {
  local path=$1 flag=$2 tool=$ROOT/$REFERENCE/pitchtrack kernels
  if [ -n "$flag" ] && ! grep -qw "$flag" /proc/cpuinfo; then
    row "simd-$path" SKIP 0 "the processor lacks $flag"
    return
  elif ! grep -aq PITCHTRACK_SIMD "$tool"; then
    row "simd-$path" SKIP 0 "this build does not read PITCHTRACK_SIMD: the path cannot be forced"
    return
  fi
  if ! command -v gdb > /dev/null || [ -z "$(functions_like "$tool" "$KERNELS")" ]; then
    kernels="kernels not verified (no gdb, or no kernel symbols)"
  else
    kernels=$(called "$tool" "$KERNELS" "PITCHTRACK_SIMD=$path")
    if ! kernels_match "$path" "$kernels"; then
      row "simd-$path" FAIL 0 "PITCHTRACK_SIMD=$path ran the kernels: ${kernels:-none}"
      return
    fi
  fi
  run_variant "simd-$path" "$tool" "PITCHTRACK_SIMD=$path"
  check "simd-$path" "PITCHTRACK_SIMD=$path: $kernels"
}

# --- compilers --------------------------------------------------------------------------------

compiler_variant() {
  local name=$1 compiler=$2 type=$3 options
  shift 3
  # The options other than the flags, which the table shows from the build's cache.
  options=$(printf '%s\n' "$@" | grep -v '^-DCMAKE_CXX_FLAGS_' | paste -sd ' ')
  if ! command -v "$compiler" > /dev/null; then
    row "$name" SKIP 0 "no $compiler"
  elif ! build "$name" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE="$type" "$@"; then
    row "$name" FAIL 0 "build failed, see $name.log"
  else
    run_variant "$name" "$ROOT/$name/pitchtrack" "${RUN_ENV_FOR_VARIANT:-}"
    check "$name" "$(compiler_version "$compiler") $(build_flags "$name")${options:+ $options}"
  fi
}

aarch64_variant() {
  if ! command -v aarch64-linux-gnu-g++ > /dev/null; then
    row aarch64 SKIP 0 "no aarch64-linux-gnu-g++ (Debian g++-aarch64-linux-gnu)"
  elif ! command -v qemu-aarch64-static > /dev/null; then
    row aarch64 SKIP 0 "no qemu-aarch64-static (Debian qemu-user-static)"
  elif ! build aarch64 --toolchain cmake/aarch64-linux-gnu.cmake -DCMAKE_BUILD_TYPE=Release; then
    row aarch64 FAIL 0 "build failed, see aarch64.log"
  else
    run_variant aarch64 "$ROOT/aarch64/pitchtrack" "" qemu-aarch64-static
    local how
    how="$(compiler_version aarch64-linux-gnu-g++) $(build_flags aarch64), static"
    check aarch64 "$how, under qemu-aarch64-static"
  fi
}

# --- the run ----------------------------------------------------------------------------------

make_corpus || {
  say "cannot generate the corpus, see corpus-tool.log"
  exit 1
}
RECORDINGS=$(find "$CORPUS" -name '*.wav' | wc -l)
say "$RECORDINGS recordings in $CORPUS"

if ! build "$REFERENCE" -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release; then
  say "the reference build failed, see $REFERENCE.log"
  exit 1
fi
run_variant "$REFERENCE" "$ROOT/$REFERENCE/pitchtrack"
GOLDEN_FILES=$((3 * $(find tests/data/golden -name in.wav | wc -l)))
REFERENCE_HOW="$(compiler_version g++) $(build_flags "$REFERENCE"), static"
if check_golden; then
  row "$REFERENCE" PASS "$GOLDEN_FILES" "reference, $REFERENCE_HOW; the golden cases' outputs match"
else
  row "$REFERENCE" FAIL "$GOLDEN_FILES" "reference, $REFERENCE_HOW; golden cases differ"
fi

compiler_variant gcc-O0 g++ Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g"
compiler_variant clang-release clang++ Release
compiler_variant clang-O0 clang++ Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g"
RUN_ENV_FOR_VARIANT="ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:exitcode=86
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86" \
  compiler_variant sanitize g++ RelWithDebInfo -DPT_SANITIZE=ON
simd_variant portable ""
simd_variant avx2 avx2
simd_variant avx512 avx512bw
# glibc 2.36 takes the processor feature names here (AVX2, FMA, AVX); older releases' names
# such as AVX2_Usable are ignored without a word, which is why the choice is checked under gdb.
libm_variant libm-avx "glibc.cpu.hwcaps=-AVX2,-FMA"
libm_variant libm-sse2 "glibc.cpu.hwcaps=-AVX2,-FMA,-AVX"
aarch64_variant

echo
printf '%-14s %-6s %-8s %s\n' variant status files "how / reason"
for r in "${ROWS[@]}"; do
  IFS='|' read -r name status count reason <<< "$r"
  printf '%-14s %-6s %-8s %s\n' "$name" "$status" "$count" "$reason"
done
echo "Files compared with the reference's: the pitch file (or its absence), standard output,"
echo "standard error and exit status of each of the $RECORDINGS recordings (the reference's own"
echo "pitch file, standard output and exit status are compared with the golden cases')."
echo "make exactness took $((SECONDS - STARTED)) s."
exit "$FAILED"
