#include "precise_tracker.h"

#include <algorithm>

#include "precise_grid.h"
#include "precise_tenths.h"

namespace pitchtrack {

namespace {

constexpr double kJumpRatio = 1.122462048309373;  // two semitones
constexpr int32_t kMinRun = 3;
// A central level that has fallen by this factor (3 dB) twice in a row, or that lies kReleaseDrop
// (20 dB) below the loudest of the last kLevelHistory frames, is a release: the ring-out of a
// room, still periodic but no longer a sung or played tone.
constexpr double kReleaseStep = 0.5;
constexpr double kReleaseDrop = 0.01;

// max(a / b, b / a) for positive lags.
double spread(double a, double b) { return a > b ? a / b : b / a; }

}  // namespace

const PreciseTracker::Raw& PreciseTracker::at(int32_t offset) const {
  const int64_t index = received_ - 1 - kDelayFrames + offset;
  return ring_[static_cast<size_t>(((index % kHistory) + kHistory) % kHistory)];
}

bool PreciseTracker::inVoicedRun() const {
  int32_t run = 0;
  for (int32_t offset = -kDelayFrames; offset <= kDelayFrames; ++offset) {
    run = at(offset).periodic ? run + 1 : 0;
    if (run >= kMinRun && offset >= 0) return true;
    if (offset >= 0 && run == 0) return false;
  }
  return false;
}

bool PreciseTracker::isRelease(double level) const {
  const size_t last = static_cast<size_t>(received_ % kLevelHistory);
  const double previous = levels_[(last + kLevelHistory - 1) % kLevelHistory];
  const double beforeThat = levels_[(last + kLevelHistory - 2) % kLevelHistory];
  if (level < kReleaseStep * previous && previous < kReleaseStep * beforeThat) return true;
  return level < kReleaseDrop * *std::max_element(levels_.begin(), levels_.end());
}

int32_t PreciseTracker::continuousChoice() const {
  const Raw& frame = at(0);
  const Raw& next = at(1);
  if (previousLag_ == 0 || !next.periodic) return frame.chosen;
  if (spread(previousLag_, next.lag()) > kJumpRatio) return frame.chosen;
  const double expected = 0.5 * (previousLag_ + next.lag());
  if (spread(frame.lag(), expected) <= kJumpRatio) return frame.chosen;
  int32_t nearest = frame.chosen;
  for (int32_t i = 0; i < frame.candidates.count; ++i) {
    if (spread(frame.candidates.peaks[i].lag, expected) <
        spread(frame.candidates.peaks[nearest].lag, expected)) {
      nearest = i;
    }
  }
  return spread(frame.candidates.peaks[nearest].lag, expected) <= kJumpRatio ? nearest
                                                                             : frame.chosen;
}

bool PreciseTracker::push(const PreciseCandidates& candidates, PreciseFrame& out) {
  Raw& slot = ring_[static_cast<size_t>(received_ % kHistory)];
  slot.candidates = candidates;
  slot.chosen = choosePreciseCandidate(candidates, limits_);
  const double level = candidates.centreMeanSquare;
  slot.periodic = slot.chosen >= 0 &&
                  candidates.peaks[slot.chosen].strength >= limits_.voicedStrength &&
                  !isRelease(level);
  levels_[static_cast<size_t>(received_ % kLevelHistory)] = level;
  ++received_;
  if (received_ <= kDelayFrames) return false;
  out = PreciseFrame{};
  out.meanSquare = at(0).candidates.meanSquare;
  if (!at(0).periodic || !inVoicedRun()) {
    previousLag_ = 0;
    return true;
  }
  const PrecisePeak& peak = at(0).candidates.peaks[continuousChoice()];
  previousLag_ = peak.lag;
  out.hz = static_cast<double>(kPreciseWorkingRate) / peak.lag;
  out.tenths = preciseTenths(out.hz);
  out.confidence = std::clamp(peak.strength, 0.0, 1.0);
  return true;
}

}  // namespace pitchtrack
