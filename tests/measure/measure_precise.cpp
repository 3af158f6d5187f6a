// Prints, per kind of generated material with an exactly known fundamental, how the default
// analysis, the precise analysis and the peer trackers (Praat's autocorrelation method, SWIPE'
// from SPTK) find the voiced frames and their pitch: recall, false alarms, within a semitone,
// octave errors, within 50 and 10 cents (percentages; see pitch_score.h).
//
// Run: build/tests/measure_precise [--no-peers]
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "measure/peer_trackers.h"
#include "measure/pitch_material.h"
#include "measure/pitch_score.h"
#include "pipeline/precise_analysis.h"
#include "pitchtrack/pitchtrack.h"

namespace {

using measure::Material;
using measure::PitchScore;
using measure::Timbre;

struct Group {
  std::string name;
  std::vector<Material> materials;
};

std::vector<double> defaultTrack(const Material& m, size_t frames) {
  const pitchtrack::Contour contour = pitchtrack::track(measure::toPcm(m), m.rate, 16);
  std::vector<double> hz(frames, 0.0);
  for (size_t i = 0; i < contour.size(); ++i) {
    const auto k = static_cast<size_t>(contour.firstFrame) + i;
    if (k < frames) hz[k] = contour.frequencyHz(i);
  }
  return hz;
}

std::vector<double> preciseTrack(const Material& m, size_t frames) {
  std::vector<double> hz(frames, 0.0);
  const auto result = pitchtrack::analysePrecise(measure::toPcm(m), m.rate);
  for (size_t k = 0; k < frames && k < result.size(); ++k) hz[k] = result[k].hz;
  return hz;
}

std::vector<Material> voices(int32_t rate, const std::function<Material(Material)>& change) {
  return {change(measure::sungVoice(rate)), change(measure::hummedVoice(rate)),
          change(measure::spokenVoice(rate, 11))};
}

std::vector<Group> groups() {
  using measure::NoiseColour;
  std::vector<Group> out;
  Group tones{"instrument tones C2-B5, silence between", {}};
  for (const int32_t rate : {8000, 22050, 44100}) {
    for (const Timbre t : {Timbre::kSaw, Timbre::kSquare, Timbre::kReed}) {
      tones.materials.push_back(measure::instrumentTones(t, rate));
    }
  }
  out.push_back(std::move(tones));
  out.push_back(
      {"legato melody",
       {measure::legatoMelody(8000), measure::legatoMelody(16000), measure::legatoMelody(44100)}});
  out.push_back(
      {"glides", {measure::glides(8000), measure::glides(11025), measure::glides(48000)}});
  out.push_back(
      {"steady 100 Hz sine", {measure::steadySine(8000, 100), measure::steadySine(44100, 100)}});
  Group noises{"noise alone", {}};
  for (const int32_t rate : {8000, 44100}) {
    for (const auto c :
         {NoiseColour::kWhite, NoiseColour::kPink, NoiseColour::kBrown, NoiseColour::kBand}) {
      noises.materials.push_back(measure::noise(c, rate, -6, 20 + static_cast<uint32_t>(c)));
    }
  }
  noises.materials.push_back(measure::noise(NoiseColour::kWhite, 16000, -40, 30));
  noises.materials.push_back(measure::noise(NoiseColour::kBand, 16000, -40, 31));
  out.push_back(std::move(noises));
  const auto same = [](Material m) { return m; };
  Group clean{"voice, clean", {}};
  for (const int32_t rate : {8000, 22050, 48000}) {
    for (auto& m : voices(rate, same)) clean.materials.push_back(std::move(m));
  }
  out.push_back(std::move(clean));
  Group noisy{"voice, 10 dB SNR", {}};
  for (const int32_t rate : {8000, 16000}) {
    for (auto& m :
         voices(rate, [](Material m) { return measure::withNoise(std::move(m), 10, 5); })) {
      noisy.materials.push_back(std::move(m));
    }
  }
  out.push_back(std::move(noisy));
  Group room{"voice, small room", {}};
  for (const int32_t rate : {8000, 16000}) {
    for (auto& m : voices(rate, [](Material m) { return measure::inRoom(std::move(m), 0.3, 6); })) {
      room.materials.push_back(std::move(m));
    }
  }
  out.push_back(std::move(room));
  Group quiet{"voice, quiet (-36 dBFS peak)", {}};
  for (const int32_t rate : {11025, 44100}) {
    for (auto& m :
         voices(rate, [](Material m) { return measure::atPeakLevel(std::move(m), -36); })) {
      quiet.materials.push_back(std::move(m));
    }
  }
  out.push_back(std::move(quiet));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const bool peers = !(argc > 1 && std::strcmp(argv[1], "--no-peers") == 0);
  char dirTemplate[] = "/tmp/measure_precise.XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  const char* names[] = {"default", "precise", "Praat ac", "SWIPE' (SPTK)"};
  for (const Group& group : groups()) {
    PitchScore scores[4];
    bool missing[4] = {false, false, false, false};
    for (const Material& m : group.materials) {
      const size_t frames = m.truthHz.size();
      scores[0].add(m.truthHz, defaultTrack(m, frames));
      scores[1].add(m.truthHz, preciseTrack(m, frames));
      if (!peers) {
        missing[2] = missing[3] = true;
        continue;
      }
      const measure::PeerInput input{measure::toPcm(m), m.rate, frames};
      const auto praat = measure::praatPitch(input, dir);
      const auto swipe = measure::swipePitch(input, dir);
      if (praat)
        scores[2].add(m.truthHz, *praat);
      else
        missing[2] = true;
      if (swipe)
        scores[3].add(m.truthHz, *swipe);
      else
        missing[3] = true;
    }
    std::printf(
        "\n### %s (%zu recordings)\n\n| analysis | recall | false alarms | semitone | "
        "octave | c50 | c10 |\n|---|---|---|---|---|---|---|\n",
        group.name.c_str(), group.materials.size());
    for (int a = 0; a < 4; ++a) {
      if (missing[a]) {
        std::printf("| %s | not run |||||| \n", names[a]);
      } else {
        std::printf("| %s | %s\n", names[a], scores[a].cells().c_str());
      }
    }
    std::fflush(stdout);
  }
  std::string cleanup = "rm -rf " + dir;
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
