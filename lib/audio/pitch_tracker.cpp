#include "pitch_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "autocorrelation.h"
#include "candidates.h"
#include "frame.h"
#include "pitch_function.h"
#include "pitch_path.h"

namespace pitchtrack {

namespace {

// Mean removal and scaling of one sample, as trackPitch prepares the signal.
class SampleScaler {
 public:
  template <typename Sample>
  SampleScaler(std::span<const Sample> signal, int32_t nbits) {
    int64_t sum = 0;
    int32_t lowest = signal.empty() ? 0 : signal[0];
    int32_t highest = lowest;
    for (const int32_t v : signal) {
      sum += v;
      lowest = std::min(lowest, v);
      highest = std::max(highest, v);
    }
    mean_ = signal.empty() ? 0 : sum / static_cast<int64_t>(signal.size());
    const int64_t largest = std::max(highest - mean_, mean_ - lowest);
    // With largest 0 every prepared sample stays 0 (the scale stays 0).
    if (largest != 0) {
      scale_ = static_cast<float>(std::pow(2.0, nbits) * 0.5 / static_cast<double>(largest));
    }
    // Signals of a narrow range (every 8- or 16-bit recording) get a table of the results.
    if (static_cast<int64_t>(highest) - lowest < kMaxTable) {
      lowest_ = lowest;
      table_.resize(static_cast<size_t>(highest - lowest) + 1);
      largestPrepared_ = 0;
      for (size_t i = 0; i < table_.size(); ++i) {
        table_[i] = compute(lowest + static_cast<int64_t>(i));
        largestPrepared_ = std::max(largestPrepared_, std::abs(table_[i]));
      }
    }
  }

  // The largest magnitude a prepared sample can have.
  int32_t largestPrepared() const { return largestPrepared_; }

  // Writes the prepared frame in 16 bits; only when largestPrepared() fits (there is a table).
  template <typename Sample>
  void prepareSmall(std::span<const Sample> frame, std::span<int16_t> out) const {
    const int32_t* table = table_.data();
    const int32_t lowest = lowest_;
    for (size_t i = 0; i < frame.size(); ++i) {
      out[i] = static_cast<int16_t>(table[frame[i] - lowest]);
    }
  }

  int32_t operator()(int32_t v) const {
    if (!table_.empty()) return table_[static_cast<size_t>(v - lowest_)];
    return compute(v);
  }

 private:
  static constexpr int64_t kMaxTable = 1 << 17;

  int32_t compute(int64_t v) const {
    if (scale_ == 0) return 0;
    return roundToInt(static_cast<float>(static_cast<double>(v - mean_) * scale_));
  }

  int64_t mean_ = 0;
  float scale_ = 0;
  int32_t lowest_ = 0;
  int32_t largestPrepared_ = std::numeric_limits<int32_t>::max();  // unknown without a table
  std::vector<int32_t> table_;
};

void appendRawCandidates(std::span<const int32_t> row, const PtParam& ptParam,
                         std::span<int32_t> lagBuffer, FrameAnalysis& analysis) {
  const int32_t count = pickRawCandidates(row, ptParam, lagBuffer);
  for (const int32_t lag : lagBuffer.first(static_cast<size_t>(count))) {
    analysis.lags.push_back(lag);
    analysis.values.push_back(row[static_cast<size_t>(lag)]);
  }
  analysis.firstCandidate.push_back(analysis.lags.size());
}

// Every frame's candidate list inside the pitch range; the Candidate records of all frames
// share one pool so that nothing is allocated per frame.
struct CandidateLattice {
  std::vector<FrameCandidates> frames;
  std::vector<Candidate> pool;
};

CandidateLattice buildLattice(const FrameAnalysis& analysis, const PtParam& ptParam) {
  const LagRange range = lagRange(ptParam);
  CandidateLattice lattice;
  lattice.frames.resize(analysis.frames());
  lattice.pool.reserve(analysis.lags.size());
  for (size_t f = 0; f < lattice.frames.size(); ++f) {
    const size_t before = lattice.pool.size();
    for (size_t c = analysis.firstCandidate[f]; c < analysis.firstCandidate[f + 1]; ++c) {
      const int32_t lag = analysis.lags[c];
      if (lagInRange(lag, range)) {
        lattice.pool.push_back(Candidate{lag, analysis.values[c], -1, 0.0f});
      }
    }
    lattice.frames[f].count = static_cast<int32_t>(lattice.pool.size() - before);
  }
  const std::span<Candidate> pool(lattice.pool);
  size_t first = 0;
  for (FrameCandidates& frame : lattice.frames) {
    frame.candidates = pool.subspan(first, static_cast<size_t>(frame.count));
    first += static_cast<size_t>(frame.count);
  }
  return lattice;
}

// Cuts the frames into maximal runs of frames with candidates and searches each run.
void searchRuns(std::span<FrameCandidates> frames, const PtParam& ptParam,
                std::span<double> pitch) {
  const size_t n = frames.size();
  if (n < 2) return;
  size_t j = 0;
  while (true) {
    while (j < n - 1 && frames[j].count == 0) ++j;
    if (frames[j].count == 0) return;
    size_t e = j + 1;
    while (e < n && frames[e].count != 0) ++e;
    dpPitchPath(frames.subspan(j, e - j), ptParam, pitch.subspan(j, e - j));
    if (e >= n - 1) return;
    j = e;
  }
}

template <typename Sample>
int32_t framesOf(std::span<const Sample> signal, const PtParam& ptParam) {
  if (signal.empty()) return 0;
  return frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap);
}

template <typename Sample>
FrameAnalysis analyse(std::span<const Sample> signal, const PtParam& ptParam) {
  FrameAnalysis analysis;
  const int32_t frames = framesOf(signal, ptParam);
  if (frames <= 0) return analysis;
  const SampleScaler scaler(signal, ptParam.nbits);
  const auto size = static_cast<size_t>(ptParam.frameSize);
  const auto hop = static_cast<size_t>(ptParam.frameSize - ptParam.overlap);
  std::vector<int32_t> work(size);
  std::vector<int32_t> row(size / 2);
  std::vector<int32_t> lagBuffer(size / 2);
  analysis.firstCandidate.reserve(static_cast<size_t>(frames) + 1);
  analysis.firstCandidate.push_back(0);
  // Autocorrelation frames of small prepared samples (every 8-bit-range signal) stay in 16 bits.
  const bool small = ptParam.pfType == kAutocorrelation &&
                     scaler.largestPrepared() <= kSmallSampleLimit && size <= kSmallFrameLimit;
  std::vector<int16_t> work16(small ? size : 0);
  for (size_t f = 0; f < static_cast<size_t>(frames); ++f) {
    const auto frame = signal.subspan(f * hop, size);
    if (small) {
      scaler.prepareSmall(frame, std::span(work16));
      centredAutocorrelation(work16, row);
    } else {
      std::transform(frame.begin(), frame.end(), work.begin(), scaler);
      framePitchFunction(work, ptParam.pfType, row);
    }
    appendRawCandidates(row, ptParam, lagBuffer, analysis);
  }
  return analysis;
}

}  // namespace

void centreAndScale(std::span<const int32_t> signal, int32_t nbits, std::span<int32_t> prepared) {
  const SampleScaler scaler(signal, nbits);
  std::transform(signal.begin(), signal.end(), prepared.begin(), scaler);
}

FrameAnalysis analyseFrames(std::span<const int32_t> signal, const PtParam& ptParam) {
  return analyse(signal, ptParam);
}

FrameAnalysis analyseFrames(std::span<const int16_t> signal, const PtParam& ptParam) {
  return analyse(signal, ptParam);
}

void trackPitch(const FrameAnalysis& analysis, const PtParam& ptParam, std::span<double> pitch) {
  CandidateLattice lattice = buildLattice(analysis, ptParam);
  searchRuns(lattice.frames, ptParam, pitch);
}

void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch) {
  trackPitch(analyseFrames(signal, ptParam), ptParam, pitch);
}

void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch,
                std::span<int32_t> pitchFunctions) {
  const int32_t frames = framesOf(signal, ptParam);
  if (frames <= 0) return;
  std::vector<int32_t> prepared(signal.size());
  centreAndScale(signal, ptParam.nbits, prepared);
  pitchFunction(prepared, ptParam.frameSize, ptParam.overlap, ptParam.pfType, pitchFunctions);
  prepared = {};

  const auto half = static_cast<size_t>(ptParam.frameSize / 2);
  std::vector<int32_t> lagBuffer(half);
  FrameAnalysis analysis;
  analysis.firstCandidate.push_back(0);
  for (size_t f = 0; f < static_cast<size_t>(frames); ++f) {
    appendRawCandidates(pitchFunctions.subspan(f * half, half), ptParam, lagBuffer, analysis);
  }
  trackPitch(analysis, ptParam, pitch);
}

}  // namespace pitchtrack
