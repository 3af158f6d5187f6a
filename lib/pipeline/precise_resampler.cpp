#include "precise_resampler.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace pitchtrack {

namespace {

// Stage samples kept before the oldest one a coming output needs, before the buffer is trimmed.
constexpr int64_t kTrimSlack = 1024;
// Stage samples one push is expected to bring at most (the analysis' chunk); more only grows the
// buffer once.
constexpr size_t kTypicalPush = 4096;
constexpr int64_t kHistory = 4;  // stage samples before the recording, as silence

int32_t decimationFactor(int32_t rate) { return std::max(1, rate / kPreciseWorkingRate); }

double stageRate(int32_t rate) { return static_cast<double>(rate) / decimationFactor(rate); }

int64_t roundToInteger(double v) { return static_cast<int64_t>(v < 0 ? v - 0.5 : v + 0.5); }

// Third-order Lagrange interpolation at `mu` (0..1) between the 2nd and 3rd of four samples, as
// Q15 taps that sum to exactly 32768.
std::array<int32_t, 4> cubicTaps(double mu) {
  const double w[4] = {-mu * (mu - 1) * (mu - 2) / 6, (mu + 1) * (mu - 1) * (mu - 2) / 2,
                       -(mu + 1) * mu * (mu - 2) / 2, (mu + 1) * mu * (mu - 1) / 6};
  std::array<int32_t, 4> taps{};
  int32_t total = 0;
  for (int i = 0; i < 4; ++i) total += taps[i] = static_cast<int32_t>(roundToInteger(w[i] * 32768));
  taps[mu < 0.5 ? 1 : 2] += 32768 - total;
  return taps;
}

}  // namespace

PreciseResampler::PreciseResampler(int32_t sampleRate)
    : rate_(sampleRate),
      factor_(decimationFactor(sampleRate)),
      lowpass_(stageRate(sampleRate), std::min(kPreciseBandHz, 0.4 * stageRate(sampleRate))) {
  if (factor_ > 1) box_.emplace(factor_);
  // Stage position of working sample m: (m * R / 8000 + (D - 1) / 2) / D, plus the delay.
  const int64_t step = 2 * static_cast<int64_t>(rate_);
  const int64_t offset = int64_t{kPreciseWorkingRate} * (factor_ - 1);
  const int64_t denominator = int64_t{2} * kPreciseWorkingRate * factor_;
  const int64_t common = std::gcd(std::gcd(step, offset), denominator);
  // At least kMaxPhases steps per stage sample, so the lowpass' delay is placed finely.
  const int64_t fineness = (kMaxPhases + denominator / common - 1) / (denominator / common);
  stepNumerator_ = step / common * fineness;
  denominator_ = denominator / common * fineness;
  // Where the working rate divides the stage rate, the delay is rounded to whole stage samples
  // (under 1/16 ms off) so that most outputs are stage samples taken as they are.
  const bool whole = stepNumerator_ % denominator_ == 0;
  const double delay = whole ? static_cast<double>(roundToInteger(lowpass_.delaySamples()))
                             : lowpass_.delaySamples();
  offsetNumerator_ =
      offset / common * fineness + roundToInteger(delay * static_cast<double>(denominator_));
  phases_ = kMaxPhases;
  // phase = remainder * kMaxPhases / denominator_, by a multiply and a shift.
  phaseScale_ = (int64_t{kMaxPhases} << 32) / denominator_;
  nextWhole_ = offsetNumerator_ / denominator_;
  nextRemainder_ = offsetNumerator_ % denominator_;
  cubic_.resize(static_cast<size_t>(phases_));
  for (int32_t p = 0; p < phases_; ++p) cubic_[p] = cubicTaps(static_cast<double>(p) / phases_);
  stepWhole_ = stepNumerator_ / denominator_;
  stepRemainder_ = stepNumerator_ % denominator_;
  stage_.reserve(static_cast<size_t>(kTrimSlack + kHistory) + kTypicalPush + 16);
  stage_.assign(kHistory, 0);
  stageBase_ = -kHistory;
}

void PreciseResampler::advance() {
  nextWhole_ += stepWhole_;
  nextRemainder_ += stepRemainder_;
  if (nextRemainder_ >= denominator_) {
    nextRemainder_ -= denominator_;
    ++nextWhole_;
  }
}

int16_t PreciseResampler::interpolateAt(int64_t whole, int64_t remainder) const {
  const auto phase = static_cast<size_t>((remainder * phaseScale_) >> 32);
  const int16_t* x = stage_.data() + (whole - 1 - stageBase_);
  if (phase == 0) return x[1];
  const CubicTaps& taps = cubic_[phase];
  // Exact in 32 bits: the taps' magnitudes sum to less than 1.25 * 32768.
  const int32_t sum = taps[0] * x[0] + taps[1] * x[1] + taps[2] * x[2] + taps[3] * x[3];
  return static_cast<int16_t>(std::clamp((sum + (1 << 14)) >> 15, -32767, 32767));
}

void PreciseResampler::takeStageSamples(std::span<const int16_t> samples) {
  const size_t from = stage_.size();
  if (box_) {
    box_->push(samples, stage_);
  } else {
    stage_.insert(stage_.end(), samples.begin(), samples.end());
  }
  lowpass_.filter(std::span(stage_).subspan(from));
  stageCount_ += static_cast<int64_t>(stage_.size() - from);
}

void PreciseResampler::emitReady(std::vector<int16_t>& out, int64_t limit) {
  if (stepRemainder_ == 0 && nextRemainder_ == 0) {  // every output is a stage sample
    const int64_t count = std::min(limit - produced_, stageCount_ - 2 - nextWhole_);
    if (count > 0) {
      const int16_t* first = stage_.data() + (nextWhole_ - stageBase_);
      const size_t from = out.size();
      out.resize(from + static_cast<size_t>(count));
      for (int64_t i = 0; i < count; ++i)
        out[from + static_cast<size_t>(i)] = first[i * stepWhole_];
      nextWhole_ += count * stepWhole_;
      produced_ += count;
    }
  }
  interpolateRun(out, std::min(limit - produced_, interpolable()));
  const int64_t oldestNeeded = nextWhole_ - 1;
  if (oldestNeeded - stageBase_ > kTrimSlack) {
    const int64_t drop = oldestNeeded - stageBase_;
    stage_.erase(stage_.begin(), stage_.begin() + drop);
    stageBase_ += drop;
  }
}

int64_t PreciseResampler::interpolable() const {
  // Outputs k = 0, 1, ... need stage samples up to position whole + 2, so their positions
  // (numerators) must stay below (stageCount_ - 2) * denominator_.
  const int64_t room =
      (stageCount_ - 2) * denominator_ - (nextWhole_ * denominator_ + nextRemainder_);
  return room <= 0 ? 0 : (room + stepNumerator_ - 1) / stepNumerator_;
}

void PreciseResampler::interpolateRun(std::vector<int16_t>& out, int64_t count) {
  if (count <= 0) return;
  const size_t from = out.size();
  out.resize(from + static_cast<size_t>(count));
  for (size_t i = from; i < out.size(); ++i) {
    out[i] = interpolateAt(nextWhole_, nextRemainder_);
    advance();
  }
  produced_ += count;
}

void PreciseResampler::push(std::span<const int16_t> samples, std::vector<int16_t>& out) {
  takeStageSamples(samples);
  emitReady(out, INT64_MAX);
}

void PreciseResampler::finish(int64_t inputCount, std::vector<int16_t>& out) {
  const int64_t total = inputCount * kPreciseWorkingRate / rate_;
  const int16_t silence[4] = {};
  while (produced_ < total) {
    takeStageSamples(std::span(silence).first(static_cast<size_t>(factor_ > 4 ? 1 : 4 / factor_)));
    emitReady(out, total);
  }
}

}  // namespace pitchtrack
