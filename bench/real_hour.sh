#!/usr/bin/env bash
# Assembles one hour of real recordings from Debian-packaged sounds and the project's generated
# singing, and writes it at 44.1 kHz 16-bit and at 8 kHz 8-bit.
#
#   bench/real_hour.sh BUILD_DIR OUT_DIR   (writes OUT_DIR/real44.wav and OUT_DIR/real8.wav)
#
# Sources, each used when installed and named on stderr when missing:
#   sound-icons (/usr/share/sounds/sound-icons), alsa-utils (/usr/share/sounds/alsa),
#   puredata-doc (/usr/share/puredata/doc/sound), supercollider-common
#   (/usr/share/SuperCollider/sounds), espeak-ng (a passage spoken by several voices), and
#   BUILD_DIR/bench/make_singing (sung and hummed voice).
# Every piece becomes mono 16-bit at 44.1 kHz with half a second of silence after it; the pieces
# in order repeat to exactly 3600 s. The 8 kHz 8-bit hour is the same audio converted by sox
# without dither, so both files hold the same material and the runs are repeatable.
set -euo pipefail
BUILD=$1
OUT=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
RATE=44100
pieces=()

add_piece() {  # input file: converted to mono 16-bit 44.1 kHz, half a second of silence after
  local out="$WORK/piece${#pieces[@]}.wav"
  if sox -q -D "$1" -c 1 -b 16 -r "$RATE" "$out" pad 0 0.5 2>/dev/null; then pieces+=("$out"); fi
}

add_folder() {  # package folder
  local package=$1 folder=$2 found=0 file
  if [ -d "$folder" ]; then
    while IFS= read -r file; do
      add_piece "$file"
      found=1
    done < <(find "$folder" -maxdepth 1 -type f \( -name '*.wav' -o -name '*.aif' -o -name '*.aiff' \
                                                   -o -name '*.flac' -o -name '*.ogg' \) | LC_ALL=C sort)
  fi
  [ "$found" = 1 ] || echo "real_hour: $package is missing ($folder): skipped" >&2
}

add_folder sound-icons /usr/share/sounds/sound-icons
add_folder alsa-utils /usr/share/sounds/alsa
add_folder puredata-doc /usr/share/puredata/doc/sound
add_folder supercollider-common /usr/share/SuperCollider/sounds

PASSAGE="The north wind and the sun were disputing which was the stronger, when a traveller \
came along wrapped in a warm cloak. They agreed that the one who first succeeded in making the \
traveller take his cloak off should be considered stronger than the other."
if command -v espeak-ng >/dev/null 2>&1; then
  for voice in en-gb en-us de fr-fr es it nl pl; do
    espeak-ng -v "$voice" -w "$WORK/speech.wav" "$PASSAGE" 2>/dev/null && add_piece "$WORK/speech.wav"
  done
else
  echo "real_hour: espeak-ng is missing: no speech" >&2
fi

if [ -x "$BUILD/bench/make_singing" ]; then
  "$BUILD/bench/make_singing" "$WORK/singing.wav" "$RATE" && add_piece "$WORK/singing.wav"
else
  echo "real_hour: $BUILD/bench/make_singing is missing: no generated singing" >&2
fi

[ ${#pieces[@]} -gt 0 ] || { echo "real_hour: no recordings found" >&2; exit 1; }
sox -q "${pieces[@]}" "$WORK/round.wav"
round=$(soxi -D "$WORK/round.wav")
repeats=$(awk -v r="$round" 'BEGIN {printf "%d", 3600 / r}')
echo "real_hour: ${#pieces[@]} pieces, $round s a round, repeated to 3600 s" >&2
mkdir -p "$OUT"
sox -q "$WORK/round.wav" "$OUT/real44.wav" repeat "$repeats" trim 0 3600
sox -q -D -G "$OUT/real44.wav" -b 8 -r 8000 "$OUT/real8.wav"
