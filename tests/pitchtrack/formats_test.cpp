// The same hummed melody stored in every supported format must give nearly the same contour as
// its 8 kHz 16-bit version. Resampling without a filter and 8-bit depth are not free, so a few
// frames may differ; on frames that both versions call pitched, at least 95% must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"
#include "wave/g711.h"

namespace pitchtrack {

namespace {

using testwav::Bytes;

// The melody as a real signal in [-1, 1]: eight hummed notes of 0.4 s with 0.1 s rests and
// 0.3 s of silence at both ends. It is a function of time, so every rate samples the same tune.
double melodyAt(double t, int rate) {
  static constexpr int kNotes[] = {48, 52, 55, 57, 55, 52, 50, 48};
  const double start = 0.3;
  const double slot = 0.5;
  if (t < start) return 0;
  const auto index = static_cast<size_t>((t - start) / slot);
  const double within = t - start - static_cast<double>(index) * slot;
  if (index >= std::size(kNotes) || within > 0.4) return 0;
  const testsignal::Voice voice{.frequency = testsignal::semitoneHz(kNotes[index]),
                                .rate = static_cast<double>(rate),
                                .amplitude = 0.25};
  return testsignal::steadyAt(voice, within);
}

std::vector<double> melody(int rate) {
  std::vector<double> out(static_cast<size_t>(4.6 * rate));
  for (size_t i = 0; i < out.size(); ++i) out[i] = melodyAt(static_cast<double>(i) / rate, rate);
  return out;
}

std::vector<int16_t> pcm16(int rate) { return testsignal::toPcm16(melody(rate)); }

// The code whose expansion lies nearest to each sample.
Bytes companded(int16_t (*expand)(uint8_t)) {
  Bytes codes;
  for (const int16_t s : pcm16(8000)) {
    int best = 0;
    for (int code = 1; code < 256; ++code) {
      if (std::abs(expand(static_cast<uint8_t>(code)) - s) <
          std::abs(expand(static_cast<uint8_t>(best)) - s)) {
        best = code;
      }
    }
    codes.push_back(static_cast<uint8_t>(best));
  }
  return codes;
}

struct Encoding {
  const char* name;
  std::function<Bytes()> image;
};

std::vector<Encoding> encodings() {
  return {
      {"8 kHz 8-bit",
       [] {
         Bytes bytes;
         for (const double x : melody(8000)) {
           bytes.push_back(static_cast<uint8_t>(std::lround(128 + 127 * std::clamp(x, -1.0, 1.0))));
         }
         return testwav::pcm8Wave(bytes, 8000);
       }},
      {"11025 Hz 16-bit", [] { return testwav::pcmWave(pcm16(11025), 11025); }},
      {"16000 Hz 16-bit", [] { return testwav::pcmWave(pcm16(16000), 16000); }},
      {"22050 Hz 16-bit", [] { return testwav::pcmWave(pcm16(22050), 22050); }},
      {"44100 Hz 16-bit", [] { return testwav::pcmWave(pcm16(44100), 44100); }},
      {"mu-law", [] { return testwav::muLawWave(companded(g711::muLawToLinear), 8000); }},
      {"A-law", [] { return testwav::aLawWave(companded(g711::aLawToLinear), 8000); }},
      {"24-bit",
       [] {
         std::vector<int32_t> wide;
         for (const double x : melody(8000)) wide.push_back(std::lround(x * 8388607));
         return testwav::pcm24Wave(wide, 8000);
       }},
      {"32-bit float", [] { return testwav::floatWave(melody(8000), 32, 8000); }},
      {"stereo 16-bit",
       [] {
         std::vector<int16_t> both;
         for (const int16_t s : pcm16(8000)) {
           both.push_back(s);
           both.push_back(s);
         }
         return testwav::pcmWave(both, 8000, 2);
       }},
  };
}

std::vector<int> contourOf(const testsupport::TempDir& work, const Bytes& image) {
  testwav::writeFile(work.path("in.wav"), image);
  const auto run = testsupport::runTool(work.root(), "in.wav out.pitch");
  EXPECT_EQ(run.status, 0);
  std::vector<int> values;
  std::stringstream line(testsupport::readFile(work.path("out.pitch")));
  for (std::string value; std::getline(line, value, '+');) {
    if (value != "\n" && !value.empty()) values.push_back(std::stoi(value));
  }
  return values;
}

// Share of the frames pitched in both contours that carry the same value, at the best
// alignment of their starts (trimming may cut one more or one fewer leading frame).
double agreement(const std::vector<int>& a, const std::vector<int>& b) {
  double best = 0;
  for (int shift = -3; shift <= 3; ++shift) {
    int both = 0;
    int same = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      const auto j = static_cast<ptrdiff_t>(i) + shift;
      if (j < 0 || j >= std::ssize(b) || a[i] == 0 || b[static_cast<size_t>(j)] == 0) continue;
      ++both;
      same += a[i] == b[static_cast<size_t>(j)] ? 1 : 0;
    }
    if (both > 0) best = std::max(best, static_cast<double>(same) / both);
  }
  return best;
}

TEST(Formats, EveryEncodingAgreesWithTheSixteenBitRecording) {
  testsupport::TempDir work;
  const std::vector<int> reference = contourOf(work, testwav::pcmWave(pcm16(8000), 8000));
  ASSERT_GT(reference.size(), 100u);
  for (const Encoding& encoding : encodings()) {
    const std::vector<int> contour = contourOf(work, encoding.image());
    const double share = agreement(contour, reference);
    std::cout << "[ agreement ] " << encoding.name << ": " << 100 * share << "% of "
              << contour.size() << " frames\n";
    EXPECT_GE(share, 0.95) << encoding.name;
  }
}

}  // namespace

}  // namespace pitchtrack
