#!/bin/sh
# Draws the pictures of the README's "What the analysis does to your recording" into OUTDIR
# (docs/ by default): generates the example recordings, tracks them and plots each contour in
# its place in the recording, with the notes that were sung and the stretches worth a look.
#
#   docs/make_pictures.sh [BUILD_DIR [OUTDIR]]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
out=${2:-$here}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tests/make_doc_examples" "$work"

# picture NAME PITCHTRACK_OPTIONS PITCHPLOT_OPTIONS...: NAME.wav tracked and drawn as NAME.svg.
picture() {
  name=$1 options=$2
  shift 2
  # shellcheck disable=SC2086
  "$build/pitchtrack" -q $options --format=json "$work/$1.wav" "$work/$name.json" 2>/dev/null || true
  # shellcheck disable=SC2086
  "$build/pitchtrack" -q $options "$work/$1.wav" "$work/$name.pitch"
  first=$(sed -n 's/.*"first_frame": \([0-9]*\).*/\1/p' "$work/$name.json")
  seconds=$(( $(stat -c %s "$work/$1.wav") - 44 ))
  length=$(awk "BEGIN { print $seconds / 16000 }")
  shift
  (cd "$work" && "$build/pitchplot" --first-frame "$first" --length "$length" "$@" \
    "$name.pitch" "$out/$name.svg")
}

notes() {  # notes START STEP SECONDS SEMITONE...: --note options for evenly spaced notes
  start=$1 step=$2 seconds=$3
  shift 3
  for semitone in "$@"; do
    printf -- '--note %s,%s,%s ' "$start" "$(awk "BEGIN { print $start + $seconds }")" "$semitone"
    start=$(awk "BEGIN { print $start + $step }")
  done
}

# shellcheck disable=SC2046
picture range "" range $(notes 0.3 0.5 0.3 45 45 60 60 75 75)
# shellcheck disable=SC2046
picture truncation "" truncation $(notes 0.3 0.5 0.3 57 57 57 57 58)
# shellcheck disable=SC2046
picture quiet "" quiet $(notes 0.3 0.6 0.4 48 52 55 57)
# shellcheck disable=SC2046
picture quiet_normalized "--normalize" quiet $(notes 0.3 0.6 0.4 48 52 55 57)
picture noise "" noise --mark "0,3,white noise, no note"
picture noise_strict "--voicing=strict --normalize" noise --mark "0,3,white noise, no note"
picture steady "" steady --note 0,3,57
# shellcheck disable=SC2046
picture final_gap "" final_gap $(notes 0.3 0.6 0.4 57 59 60 62) --note 3.7,4.1,64 \
  --mark "3.7,4.1,dropped: 1.2 s after the one before"
# shellcheck disable=SC2046
picture final_gap_kept "--keep-final" final_gap $(notes 0.3 0.6 0.4 57 59 60 62) --note 3.7,4.1,64
picture short_note "" short_note --note 0.3,0.7,57 --note 0.9,0.94,60 --note 1.14,1.54,62 \
  --mark "0.9,0.94,40 ms"
# shellcheck disable=SC2046
picture bright "" bright $(notes 0.3 0.6 0.5 73 77 80 68 61)
# shellcheck disable=SC2046
picture bright_precise "--precise" bright $(notes 0.3 0.6 0.5 73 77 80 68 61)

# The notes of a sung phrase (pitchtrack --notes) as bars under its precise contour.
"$build/pitchtrack" -q --precise --format=json "$work/sung.wav" "$work/notes.json"
"$build/pitchtrack" -q --precise "$work/sung.wav" "$work/notes.pitch"
"$build/pitchtrack" -q --notes --format=csv "$work/sung.wav" "$work/notes.csv"
first=$(sed -n 's/.*"first_frame": \([0-9]*\).*/\1/p' "$work/notes.json")
(cd "$work" && "$build/pitchplot" --first-frame "$first" --notes notes.csv notes.pitch \
  "$out/notes.svg")
