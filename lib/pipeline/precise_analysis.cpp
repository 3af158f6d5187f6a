#include "precise_analysis.h"

#include <stdexcept>

#include "precise_grid.h"

namespace pitchtrack {

namespace {

// Input samples handled at a time: at most this many, and never more than make this many working
// samples, which bounds the buffers.
constexpr size_t kChunk = 4096;
// Working samples kept before the oldest one a coming frame reads, before trimming.
constexpr int64_t kTrimSlack = 4096;
// A frame quieter than this mean square (an RMS of 16, -66 dBFS) is silent.
constexpr double kMinMeanSquare = 256;

int32_t checkedRate(int32_t rate, int32_t bits) {
  if (rate < 1000 || rate > 768000) {
    throw std::invalid_argument("precise analysis: sample rate outside 1000..768000 Hz");
  }
  if (bits != 8 && bits != 16) {
    throw std::invalid_argument("precise analysis: sample size other than 8 or 16 bits");
  }
  return rate;
}

int64_t centreOf(int64_t frame) { return frame * kPreciseHop + kPreciseHop / 2; }

}  // namespace

PreciseAnalysis::PreciseAnalysis(int32_t sampleRate, int32_t bitsPerSample, FrameSink sink,
                                 bool keepFrames)
    : bitsPerSample_(bitsPerSample),
      sink_(std::move(sink)),
      resampler_(checkedRate(sampleRate, bitsPerSample)),
      chunk_(std::min(kChunk, kChunk * static_cast<size_t>(sampleRate) / kPreciseWorkingRate)),
      keepFrames_(keepFrames) {
  scratch_.reserve(kChunk);
  fresh_.reserve(kChunk + 64);
  working_.assign(kPreciseReach, 0);  // silence before the recording
  workingBase_ = -kPreciseReach;
  working_.reserve(2 * kTrimSlack + kChunk + 2 * kPreciseReach + 1024);
}

void PreciseAnalysis::push(std::span<const int16_t> samples) {
  if (finished_) throw std::logic_error("precise analysis: push after finish");
  while (!samples.empty()) {
    const size_t count = std::min(samples.size(), chunk_);
    pushChunk(samples.first(count));
    samples = samples.subspan(count);
  }
}

void PreciseAnalysis::pushChunk(std::span<const int16_t> samples) {
  inputCount_ += static_cast<int64_t>(samples.size());
  if (bitsPerSample_ == 8) {
    scratch_.clear();
    for (const int16_t v : samples) scratch_.push_back(static_cast<int16_t>((v - 128) * 256));
    samples = scratch_;
  }
  resampler_.push(samples, fresh_);
  takeWorking();
  analyseFramesBefore(workingBase_ + static_cast<int64_t>(working_.size()));
}

void PreciseAnalysis::takeWorking() {
  const size_t from = working_.size();
  working_.resize(from + fresh_.size());
  dcBlocker_.filter(fresh_, working_.data() + from);
  fresh_.clear();
}

void PreciseAnalysis::analyseFramesBefore(int64_t workingEnd) {
  while (centreOf(analysed_) + kPreciseReach < workingEnd) analyseNextFrame();
  const int64_t oldest = centreOf(analysed_) - kPreciseReach;
  if (oldest - workingBase_ > kTrimSlack) {
    working_.erase(working_.begin(), working_.begin() + (oldest - workingBase_));
    workingBase_ = oldest;
  }
}

void PreciseAnalysis::analyseNextFrame() {
  const int16_t* centre = working_.data() + (centreOf(analysed_) - workingBase_);
  PreciseFrame frame;
  if (tracker_.push(findPreciseCandidates(centre, kMinMeanSquare), frame)) deliver(frame);
  ++analysed_;
}

void PreciseAnalysis::deliver(const PreciseFrame& frame) {
  if (sink_) sink_(delivered_, frame);
  if (keepFrames_) frames_.push_back(frame);
  ++delivered_;
}

void PreciseAnalysis::finish() {
  if (finished_) throw std::logic_error("precise analysis: finish called twice");
  finished_ = true;
  resampler_.finish(inputCount_, fresh_);
  takeWorking();
  const int64_t workingCount = workingBase_ + static_cast<int64_t>(working_.size());
  const int64_t frameCount = workingCount / kPreciseHop;
  working_.insert(working_.end(), 2 * kPreciseReach + kPreciseHop, 0);  // silence after it
  while (analysed_ < frameCount) analyseNextFrame();
  const PreciseCandidates none;
  while (delivered_ < frameCount) {
    PreciseFrame frame;
    if (tracker_.push(none, frame)) deliver(frame);
  }
}

std::vector<PreciseFrame> analysePrecise(std::span<const int16_t> samples, int32_t sampleRate,
                                         int32_t bitsPerSample) {
  PreciseAnalysis analysis(sampleRate, bitsPerSample);
  analysis.push(samples);
  analysis.finish();
  return analysis.frames();
}

}  // namespace pitchtrack
