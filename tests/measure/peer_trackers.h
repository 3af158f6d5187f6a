// Runs the peer pitch trackers installed on the machine on a recording and reads their
// fundamental at every 32 ms frame centre (Hz, 0 = unvoiced): Praat's autocorrelation method
// (`praat --run`) and SWIPE' from SPTK (`sptk pitch -a 1`). A peer that is not installed gives
// std::nullopt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace measure {

struct PeerInput {
  std::vector<int16_t> samples;
  int32_t rate = 8000;
  size_t frames = 0;
};

std::optional<std::vector<double>> praatPitch(const PeerInput& input, const std::string& dir);
std::optional<std::vector<double>> swipePitch(const PeerInput& input, const std::string& dir);

// Writes a 16-bit mono RIFF WAVE file.
void writeWave(const std::string& path, const std::vector<int16_t>& samples, int32_t rate);

}  // namespace measure
