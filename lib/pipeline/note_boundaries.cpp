#include "note_boundaries.h"

#include <algorithm>

namespace pitchtrack::pipeline {

namespace {

double meanTenths(std::span<const NoteFrame> frames) {
  double sum = 0;
  for (const NoteFrame& frame : frames) sum += frame.tenths;
  return sum / static_cast<double>(frames.size());
}

// The index that parts `frames` into two runs each as close to its own mean pitch as can be
// (the least sum of squared deviations): a glide between two notes is cut at its middle.
int32_t bestSplit(std::span<const NoteFrame> frames) {
  const auto count = static_cast<int32_t>(frames.size());
  double totalSum = 0;
  double totalSquares = 0;
  for (const NoteFrame& frame : frames) {
    totalSum += frame.tenths;
    totalSquares += static_cast<double>(frame.tenths) * frame.tenths;
  }
  int32_t best = 1;
  double bestCost = 0;
  double sum = 0;
  double squares = 0;
  for (int32_t at = 1; at < count; ++at) {
    const double x = frames[at - 1].tenths;
    sum += x;
    squares += x * x;
    const double rightSum = totalSum - sum;
    const double cost =
        squares - sum * sum / at + (totalSquares - squares) - rightSum * rightSum / (count - at);
    if (at == 1 || cost < bestCost) best = at, bestCost = cost;
  }
  return best;
}

}  // namespace

std::optional<int32_t> findPitchChange(std::span<const NoteFrame> frames) {
  const auto count = static_cast<int32_t>(frames.size());
  if (count < kPitchWindowFrames + kPitchBeforeFrames) return std::nullopt;
  const int32_t windowStart = count - kPitchWindowFrames;
  const int32_t beforeStart = std::max(0, windowStart - kPitchWindowFrames);
  const double before = meanTenths(frames.subspan(beforeStart, windowStart - beforeStart));
  const double step = meanTenths(frames.subspan(windowStart)) - before;
  if (step < kPitchStepTenths && step > -kPitchStepTenths) return std::nullopt;
  const double midpoint = before + 0.5 * step;
  for (int32_t i = count - kPitchStayFrames; i < count; ++i) {
    if ((frames[i].tenths - midpoint) * step <= 0) return std::nullopt;
  }
  return beforeStart + bestSplit(frames.subspan(beforeStart));
}

std::optional<int32_t> LevelOnset::push(double levelDb) {
  const int32_t index = count_++;
  if (index == 0) {
    peakDb_ = dipDb_ = levelDb;
    dipAt_ = 0;
    return std::nullopt;
  }
  if (peakDb_ - dipDb_ >= depthDb_ && levelDb - dipDb_ >= depthDb_) return dipAt_;
  if (levelDb > peakDb_) {
    peakDb_ = dipDb_ = levelDb;
    dipAt_ = index;
  } else if (levelDb < dipDb_) {
    dipDb_ = levelDb;
    dipAt_ = index;
  }
  return std::nullopt;
}

}  // namespace pitchtrack::pipeline
