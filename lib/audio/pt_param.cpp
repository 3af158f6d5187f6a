#include "pt_param.h"

#include <cmath>
#include <cstdio>

namespace pitchtrack {

namespace {

constexpr double kMinFrameDuration = 32.0;  // ms

struct FrameLayout {
  int32_t frameSize;
  int32_t overlap;
};

FrameLayout frameLayoutFor(int32_t fs) {
  if (fs == 8000) return {256, 0};
  if (fs == 16000) return {640, 480};
  // fs * 256 in 32-bit arithmetic (wrapping like the machine), truncated by the division.
  const auto scaled = static_cast<int32_t>(static_cast<uint32_t>(fs) * 256u);
  return {scaled / 8000, 0};
}

struct PathWeights {
  int32_t transitionWeight;
  int32_t localWeight;
  int32_t distType;
  int32_t distPower;
  int32_t extremaOnly;
};

PathWeights pathWeightsFor(int32_t fs, int32_t pfType) {
  if (fs == 8000 && pfType == kMagnitudeDifference) return {540, 40, 1, 2, 0};
  if (fs == 8000 && pfType == kAutocorrelation) return {200, 1, 1, 1, 1};
  if (fs == 16000) return {11000, 1, 1, 2, 0};
  return {1, 1, 1, 2, 0};
}

void warnIfFrameTooShort(int32_t frameSize, int32_t fs, const ProgressSink& progress) {
  const double frameDuration = frameSize * 1000.0 / fs;
  if (frameDuration < kMinFrameDuration && progress) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "Warning: frameSize too small! (frameSize=%d, frameDuration=%g ms < "
                  "minFrameDuration=%g ms",
                  frameSize, frameDuration, kMinFrameDuration);
    progress(line);
  }
}

}  // namespace

void setPtParam(PtParam& ptParam, int32_t fs, int32_t nbits, int32_t pfType,
                const ProgressSink& progress) {
  const FrameLayout layout = frameLayoutFor(fs);
  ptParam.frameSize = layout.frameSize;
  ptParam.overlap = layout.overlap;
  ptParam.fs = fs;
  ptParam.nbits = nbits;
  warnIfFrameTooShort(ptParam.frameSize, fs, progress);

  ptParam.auxInt = 10;
  ptParam.pitchRangeWidth = 24.0f;
  ptParam.auxRealA = 5.0f;
  ptParam.pfType = pfType;
  const PathWeights weights = pathWeightsFor(fs, pfType);
  ptParam.transitionWeight = weights.transitionWeight;
  ptParam.localWeight = weights.localWeight;
  ptParam.distType = weights.distType;
  ptParam.distPower = weights.distPower;
  ptParam.extremaOnly = weights.extremaOnly;

  ptParam.auxSpan = static_cast<float>(fs * 0.0025);
  ptParam.minPitch = 30.0f;
  ptParam.maxPitch = 84.0f;
  ptParam.auxRealB = 20.0f;
  ptParam.auxLevel = static_cast<float>(std::pow(2.0, nbits) / std::pow(2.0, 8) * 5.0);
  ptParam.auxFlagA = false;
  ptParam.auxFlagB = false;
  const int32_t hop = ptParam.frameSize - ptParam.overlap;
  ptParam.auxHopScale = static_cast<float>(static_cast<double>(hop) / fs * 31.25 * 7.0);
}

}  // namespace pitchtrack
