// Measures the speed of the precise analysis against the peer `aubiopitch -p yinfft -B 1024
// -H 256`, and the tool's default analysis beside it, on the same one-hour mix of speech,
// instrument tones, sung and hummed voice and silence, at 8000 Hz and at 44100 Hz (16-bit): audio
// seconds analysed per CPU second, for the whole path (resampling included) fed in blocks of 4096
// samples in this process, and the tool and the peer each as a whole process reading the mix from a
// WAV file (the child's user + system time).
//
// Run: build/tests/measure_speed [folder for the WAV files, default /tmp] [--precise-only]
// --precise-only skips the peer and prints a hash of the precise frames, to compare builds.
#include <sys/resource.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "measure/peer_trackers.h"
#include "measure/pitch_material.h"
#include "pipeline/precise_analysis.h"

namespace {

constexpr double kHourSeconds = 3600;

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

double cpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// About two minutes of varied material, repeated to an hour.
std::vector<int16_t> hourMix(int32_t rate) {
  using namespace measure;
  std::vector<int16_t> piece;
  const Material parts[] = {spokenVoice(rate, 1), instrumentTones(Timbre::kSaw, rate),
                            sungVoice(rate),      hummedVoice(rate),
                            spokenVoice(rate, 2), instrumentTones(Timbre::kReed, rate),
                            legatoMelody(rate)};
  for (const Material& m : parts) {
    const auto pcm = toPcm(m);
    piece.insert(piece.end(), pcm.begin(), pcm.end());
    piece.insert(piece.end(), static_cast<size_t>(5 * rate), int16_t{0});  // silence
  }
  const auto total = static_cast<size_t>(kHourSeconds * rate);
  std::vector<int16_t> hour;
  hour.reserve(total);
  while (hour.size() < total) {
    hour.insert(
        hour.end(), piece.begin(),
        piece.begin() + static_cast<std::ptrdiff_t>(std::min(piece.size(), total - hour.size())));
  }
  return hour;
}

// FNV-1a over every frame's fields, bit for bit.
uint64_t hashOf(const std::vector<pitchtrack::PreciseFrame>& frames) {
  uint64_t hash = 14695981039346656037ULL;
  const auto mix = [&](uint64_t v) {
    for (int i = 0; i < 8; ++i) hash = (hash ^ ((v >> (8 * i)) & 0xff)) * 1099511628211ULL;
  };
  for (const auto& f : frames) {
    mix(std::bit_cast<uint64_t>(f.hz));
    mix(static_cast<uint64_t>(f.tenths));
    mix(std::bit_cast<uint64_t>(f.confidence));
  }
  return hash;
}

double preciseSpeed(const std::vector<int16_t>& samples, int32_t rate, size_t& voiced,
                    uint64_t& hash) {
  const double start = cpuSeconds(RUSAGE_SELF);
  pitchtrack::PreciseAnalysis analysis(rate);
  for (size_t at = 0; at < samples.size(); at += 4096) {
    analysis.push(std::span(samples).subspan(at, std::min<size_t>(4096, samples.size() - at)));
  }
  analysis.finish();
  const double used = cpuSeconds(RUSAGE_SELF) - start;
  voiced = 0;
  for (const auto& f : analysis.frames()) voiced += f.tenths != 0 ? 1 : 0;
  hash = hashOf(analysis.frames());
  return kHourSeconds / used;
}

// Audio seconds per CPU second of a whole process (user + system time of the child).
double processSpeed(const std::string& command) {
  const double start = cpuSeconds(RUSAGE_CHILDREN);
  if (std::system(command.c_str()) != 0) return 0;
  return kHourSeconds / (cpuSeconds(RUSAGE_CHILDREN) - start);
}

double peerSpeed(const std::string& wav) {
  return processSpeed("aubiopitch -p yinfft -B 1024 -H 256 -i " + wav + " > /dev/null");
}

// The tool on the same file, as a user runs it: reading, analysis and writing the pitch file.
double toolSpeed(const std::string& options, const std::string& wav) {
  return processSpeed(std::string(PITCHTRACK_BIN) + " -q " + options + " " + wav + " " + wav +
                      ".pitch");
}

std::string speedText(double speed) {
  return speed > 0 ? std::to_string(static_cast<int>(speed)) : std::string("not run");
}

std::string ratioText(double ours, double peer) {
  if (ours <= 0 || peer <= 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.2f x", ours / peer);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "/tmp";
  const bool preciseOnly = argc > 2 && std::strcmp(argv[2], "--precise-only") == 0;
  if (!preciseOnly) {
    std::printf(
        "| input | precise analysis in process | pitchtrack --precise | pitchtrack (default) "
        "| aubiopitch -p yinfft -B 1024 -H 256 | --precise / peer | default / peer |\n"
        "|---|---|---|---|---|---|---|\n");
  }
  for (const int32_t rate : {8000, 44100}) {
    const auto hour = hourMix(rate);
    size_t voiced = 0;
    uint64_t hash = 0;
    if (preciseOnly) {
      const double ours = preciseSpeed(hour, rate, voiced, hash);
      std::printf("| %d Hz | %.0f | frames %016llx, %zu voiced |\n", rate, ours,
                  static_cast<unsigned long long>(hash), voiced);
      continue;
    }
    const std::string wav = dir + "/speed_mix_" + std::to_string(rate) + ".wav";
    measure::writeWave(wav, hour, rate);
    const double inProcess = preciseSpeed(hour, rate, voiced, hash);
    const double precise = toolSpeed("--precise", wav);
    const double standard = toolSpeed("", wav);
    const double peer = peerSpeed(wav);
    std::printf("| 1 h at %d Hz, 16-bit (%zu voiced frames) | %.0f | %s | %s | %s | %s | %s |\n",
                rate, voiced, inProcess, speedText(precise).c_str(), speedText(standard).c_str(),
                speedText(peer).c_str(), ratioText(precise, peer).c_str(),
                ratioText(standard, peer).c_str());
    std::fflush(stdout);
    std::remove(wav.c_str());
    std::remove((wav + ".pitch").c_str());
  }
  return 0;
}
