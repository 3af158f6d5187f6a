// Generated sung and hummed melodies with the exact note of every stretch, for measuring note
// transcription: steps, repeated notes parted by a voiced consonant (a level dip) or an unvoiced
// one (a gap with a noise burst), legato with short portamentos, vibrato, glides into notes and
// staccato. Everything comes from fixed seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pitch_material.h"

namespace measure {

// One note as a transcriber would write it: seconds from the start of the recording and the
// MIDI note number. A legato change of note lies at the middle of its portamento; a consonant
// belongs to neither note beside it.
struct NoteTruth {
  double onset = 0;
  double offset = 0;
  int32_t midi = 0;
};

// How a note follows the one before it.
enum class Join { kGap, kLegato, kVoicedConsonant, kUnvoicedConsonant };

struct MelodyNote {
  int32_t midi = 60;
  double seconds = 0.4;
  Join join = Join::kGap;
  double pauseSeconds = 0.15;  // the gap or consonant before the note
  double vibratoSemitones = 0;
  double vibratoHz = 5.5;
  double detuneCents = 0;     // the singer's intonation: the note sounds this far off its pitch
  double scoopSemitones = 0;  // a glide up into the note from this far below
  double level = 0.3;
};

struct Melody {
  Material material;
  std::vector<NoteTruth> notes;
};

Melody synthesiseMelody(const std::string& name, int32_t rate, Timbre timbre,
                        const std::vector<MelodyNote>& notes);

// The measured set: sung and hummed melodies of every kind, some tens of notes each.
std::vector<Melody> noteMelodies(int32_t rate);

// Two cases named by the acceptance rules: a held note with +-0.7 semitone vibrato, and two
// same-pitch notes parted by a short voiced consonant.
Melody heldVibrato(int32_t rate);
Melody repeatedNote(int32_t rate);

}  // namespace measure
