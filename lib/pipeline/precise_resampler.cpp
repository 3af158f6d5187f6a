#include "precise_resampler.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace pitchtrack {

namespace {

// Fractional offsets tabulated at most; finer ratios round the offset down to 1/1024 of a stage
// sample (under 0.13 ms at the lowest stage rate).
constexpr int64_t kMaxPhases = 1024;
constexpr double kTransitionHz = 800;
// Stage samples kept before the oldest one a coming output needs, before the buffer is trimmed.
constexpr int64_t kTrimSlack = 4096;

int32_t decimationFactor(int32_t rate) { return std::max(1, rate / kPreciseWorkingRate); }

}  // namespace

PreciseResampler::PreciseResampler(int32_t sampleRate)
    : rate_(sampleRate), factor_(decimationFactor(sampleRate)) {
  if (factor_ > 1) box_.emplace(factor_);
  const double stageRate = static_cast<double>(rate_) / factor_;
  const double cutoff = std::min(kPreciseBandHz, 0.4 * stageRate);
  // Stage position of working sample m: (m * R / 8000 + (D - 1) / 2) / D.
  int64_t step = 2 * static_cast<int64_t>(rate_);
  int64_t offset = int64_t{kPreciseWorkingRate} * (factor_ - 1);
  int64_t denominator = int64_t{2} * kPreciseWorkingRate * factor_;
  const int64_t common = std::gcd(std::gcd(step, offset), denominator);
  stepNumerator_ = step / common;
  offsetNumerator_ = offset / common;
  denominator_ = denominator / common;
  const auto phases = static_cast<int32_t>(std::min(denominator_, kMaxPhases));
  filter_ = designPreciseLowpass(stageRate, cutoff, std::min(kTransitionHz, 0.5 * cutoff), phases);
  // Silence before the recording, so the first outputs have every tap.
  stage_.assign(static_cast<size_t>(filter_.rowLength), 0);
  stageBase_ = -filter_.rowLength;
}

double PreciseResampler::lookAheadSeconds() const {
  return (filter_.halfWidth + 1.0) * factor_ / rate_;
}

int64_t PreciseResampler::positionNumerator(int64_t m) const {
  return m * stepNumerator_ + offsetNumerator_;
}

int16_t PreciseResampler::filterAt(int64_t numerator) const {
  const int64_t whole = numerator / denominator_;
  const int64_t rest = numerator % denominator_;
  const auto phase = static_cast<int32_t>(rest * filter_.phases / denominator_);
  const int16_t* taps = filter_.row(phase);
  const int16_t* x =
      stage_.data() + (whole + filter_.halfWidth - filter_.rowLength + 1 - stageBase_);
  // Exact in 32 bits: the taps' magnitudes sum to well under 65536 (Q15), so |sum| < 2^31.
  int32_t sum = 0;
  for (int32_t j = 0; j < filter_.rowLength; j += 16) {
    int32_t block = 0;
    for (int32_t i = 0; i < 16; ++i) block += int32_t{taps[j + i]} * x[j + i];
    sum += block;
  }
  const int32_t rounded = (sum + (1 << 14)) >> 15;
  return static_cast<int16_t>(std::clamp(rounded, -32767, 32767));
}

void PreciseResampler::takeStageSample(int16_t sample) {
  stage_.push_back(sample);
  ++stageCount_;
}

void PreciseResampler::emitReady(std::vector<int16_t>& out, int64_t limit) {
  while (produced_ < limit) {
    const int64_t numerator = positionNumerator(produced_);
    if (numerator / denominator_ + filter_.halfWidth >= stageCount_) break;
    out.push_back(filterAt(numerator));
    ++produced_;
  }
  const int64_t oldestNeeded = positionNumerator(produced_) / denominator_ - filter_.halfWidth + 1;
  if (oldestNeeded - stageBase_ > kTrimSlack) {
    const int64_t drop = oldestNeeded - stageBase_;
    stage_.erase(stage_.begin(), stage_.begin() + drop);
    stageBase_ += drop;
  }
}

void PreciseResampler::push(std::span<const int16_t> samples, std::vector<int16_t>& out) {
  if (box_) {
    int16_t decimated = 0;
    for (const int16_t s : samples) {
      if (box_->push(s, decimated)) takeStageSample(decimated);
    }
  } else {
    stage_.insert(stage_.end(), samples.begin(), samples.end());
    stageCount_ += static_cast<int64_t>(samples.size());
  }
  emitReady(out, INT64_MAX);
}

void PreciseResampler::finish(int64_t inputCount, std::vector<int16_t>& out) {
  const int64_t total = inputCount * kPreciseWorkingRate / rate_;
  while (produced_ < total) {
    takeStageSample(0);
    emitReady(out, total);
  }
}

}  // namespace pitchtrack
