#include "pitch_tracker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "autocorrelation.h"
#include "candidates.h"
#include "fault.h"
#include "frame.h"
#include "pitch_function.h"
#include "pitch_path.h"

namespace pitchtrack {

namespace {

// An array of n elements left uninitialised (each is written before it is read), also with a
// standard library that lacks make_unique_for_overwrite (emscripten's).
template <typename T>
std::unique_ptr<T[]> arrayForOverwrite(size_t n) {
#if defined(__cpp_lib_smart_ptr_for_overwrite)
  return std::make_unique_for_overwrite<T[]>(n);
#else
  return std::unique_ptr<T[]>(new T[n]);
#endif
}

// Mean removal and scaling of one sample, as the analysis prepares the signal: a table of the
// result of every value between the signal's lowest and highest (at most 65536 of them).
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
    lowest_ = lowest;
    table_.resize(static_cast<size_t>(highest - lowest) + 1);
    for (size_t i = 0; i < table_.size(); ++i) {
      table_[i] = compute(lowest + static_cast<int64_t>(i));
      largestPrepared_ = std::max(largestPrepared_, std::abs(table_[i]));
    }
  }

  // The largest magnitude a prepared sample can have.
  int32_t largestPrepared() const { return largestPrepared_; }

  // Writes the prepared frame in 16 bits; only when largestPrepared() fits.
  template <typename Sample>
  void prepareSmall(std::span<const Sample> frame, std::span<int16_t> out) const {
    const int32_t* table = table_.data();
    const int32_t lowest = lowest_;
    for (size_t i = 0; i < frame.size(); ++i) {
      out[i] = static_cast<int16_t>(table[frame[i] - lowest]);
    }
  }

  int32_t operator()(int32_t v) const { return table_[static_cast<size_t>(v - lowest_)]; }

 private:
  int32_t compute(int64_t v) const {
    if (scale_ == 0) return 0;
    return roundToInt(static_cast<float>(static_cast<double>(v - mean_) * scale_));
  }

  int64_t mean_ = 0;
  float scale_ = 0;
  int32_t lowest_ = 0;
  int32_t largestPrepared_ = 0;
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

// The path search straight from the analysis (the arithmetic of pitch_path.h): each frame's
// candidates inside the pitch range are gathered as they are linked, only two frames of costs
// are kept, and each candidate keeps its back pointer (an index into the previous frame's
// candidates) in `BackPointer`, the narrowest type that holds every frame's count. A frame
// without candidates ends a run; each run is traced back as soon as it ends.
template <typename BackPointer>
class PathSearch {
 public:
  PathSearch(const FrameAnalysis& analysis, const PtParam& ptParam, size_t widest, SimdLevel level)
      : analysis_(analysis),
        ptParam_(ptParam),
        range_(lagRange(ptParam)),
        score_(path::JumpScore::of(ptParam)),
        level_(level),
        back_(arrayForOverwrite<BackPointer>(analysis.lags.size())) {
    for (Frame& frame : frames_) frame.resize(widest + 1);
    if (range_.maxLag > 0 && range_.maxLag <= kPitchTableLimit) {
      pitchTable_.resize(static_cast<size_t>(range_.maxLag) + 1);
      for (int32_t lag = std::max(1, range_.minLag); lag <= range_.maxLag; ++lag) {
        pitchTable_[static_cast<size_t>(lag)] =
            semitoneOfFrequency(static_cast<double>(ptParam.fs) / lag);
      }
    }
    if (ptParam.distType == 2) {
      semitoneTable_.resize(static_cast<size_t>(ptParam.frameSize / 2));
      for (size_t lag = 1; lag < semitoneTable_.size(); ++lag) {
        semitoneTable_[lag] = lagTenthsOfSemitone(ptParam.fs, static_cast<int32_t>(lag));
      }
    }
  }

  void run(std::span<double> pitch) {
    size_t runStart = 0;
    bool inRun = false;
    for (size_t f = 0; f < analysis_.frames(); ++f) {
      const size_t count = gather(f);
      if (count == 0) {
        if (inRun) traceBack(runStart, f, previous(), pitch);
        inRun = false;
      } else if (inRun) {
        link(f);
      } else {
        startRun();
        runStart = f;
        inRun = true;
      }
    }
    if (inRun) traceBack(runStart, analysis_.frames(), current(), pitch);
  }

 private:
  static constexpr int32_t kPitchTableLimit = 4096;

  struct Frame {
    std::vector<int32_t> keys, local, back;
    std::vector<float> costs;
    size_t count = 0;

    void resize(size_t size) {
      keys.resize(size);
      local.resize(size);
      back.resize(size);
      costs.resize(size);
    }
  };

  Frame& current() { return frames_[parity_]; }
  Frame& previous() { return frames_[parity_ ^ 1]; }

  // Makes frame f's in-range candidates the current frame; returns their number.
  size_t gather(size_t f) {
    parity_ ^= 1;
    Frame& frame = current();
    const size_t first = analysis_.firstCandidate[f];
    const size_t end = analysis_.firstCandidate[f + 1];
    size_t count = 0;
    if (semitoneTable_.empty()) {
      // Every candidate is written and kept only if in range: no branch per candidate.
      for (size_t c = first; c < end; ++c) {
        const int32_t lag = analysis_.lags[c];
        frame.keys[count] = lag;
        frame.local[count] = wrapMul(ptParam_.localWeight, analysis_.values[c]);
        count += lagInRange(lag, range_) ? 1 : 0;
      }
    } else {
      for (size_t c = first; c < end; ++c) {
        const int32_t lag = analysis_.lags[c];
        if (!lagInRange(lag, range_)) continue;
        frame.keys[count] = semitoneTable_[static_cast<size_t>(lag)];
        frame.local[count] = wrapMul(ptParam_.localWeight, analysis_.values[c]);
        ++count;
      }
    }
    frame.count = count;
    return count;
  }

  void startRun() {
    Frame& frame = current();
    for (size_t k = 0; k < frame.count; ++k) frame.costs[k] = static_cast<float>(frame.local[k]);
  }

  void link(size_t f) {
    Frame& from = previous();
    Frame& to = current();
    const path::FrameStep step{
        std::span(from.keys).first(from.count), std::span(from.costs).first(from.count),
        std::span(to.keys).first(to.count), std::span(to.local).first(to.count)};
    path::linkFrame(level_, score_, step, std::span(to.costs).first(to.count),
                    std::span(to.back).first(to.count));
    BackPointer* out = back_.get() + analysis_.firstCandidate[f];
    for (size_t k = 0; k < to.count; ++k) out[k] = static_cast<BackPointer>(to.back[k]);
  }

  // The index of the best candidate of a run's last frame.
  size_t bestEnd(const Frame& last) const {
    if (ptParam_.pfType != kMagnitudeDifference && ptParam_.pfType != kAutocorrelation) {
      audio_fault::unknownCode(audio_fault::kUnknownPtParamPfType, ptParam_.pfType,
                               audio_fault::kLinePitchPath);
    }
    size_t best = 0;
    for (size_t k = 1; k < last.count; ++k) {
      if (score_.minimise ? last.costs[k] < last.costs[best] : last.costs[k] > last.costs[best]) {
        best = k;
      }
    }
    return best;
  }

  // The pitch of a chosen lag, 69 + 12*log2((fs / lag) / 440) in double precision, from a table
  // when the range is narrow.
  double pitchOf(int32_t lag) const {
    if (static_cast<size_t>(lag) < pitchTable_.size()) return pitchTable_[static_cast<size_t>(lag)];
    return semitoneOfFrequency(static_cast<double>(ptParam_.fs) / lag);
  }

  // The lag of frame f's in-range candidate k.
  int32_t lagOf(size_t f, size_t k) const {
    for (size_t c = analysis_.firstCandidate[f]; c < analysis_.firstCandidate[f + 1]; ++c) {
      const int32_t lag = analysis_.lags[c];
      if (lagInRange(lag, range_) && k-- == 0) return lag;
    }
    return 0;
  }

  // Frames first .. end - 1 form a run that ends with `last`; writes the pitch of each frame's
  // chosen candidate.
  void traceBack(size_t first, size_t end, const Frame& last, std::span<double> pitch) {
    size_t chosen = bestEnd(last);
    for (size_t f = end; f-- > first;) {
      const int32_t lag = lagOf(f, chosen);
      pitch[f] = pitchOf(lag);
      if (f > first) chosen = back_[analysis_.firstCandidate[f] + chosen];
    }
  }

  const FrameAnalysis& analysis_;
  const PtParam& ptParam_;
  LagRange range_;
  path::JumpScore score_;
  SimdLevel level_;
  std::unique_ptr<BackPointer[]> back_;
  std::array<Frame, 2> frames_;
  size_t parity_ = 0;
  std::vector<int32_t> semitoneTable_;  // filled for distType 2 only
  std::vector<double> pitchTable_;      // the pitch of every lag up to a narrow range's maxLag
};

// The largest number of raw candidates of any frame.
size_t widestFrame(const FrameAnalysis& analysis) {
  size_t widest = 0;
  for (size_t f = 0; f < analysis.frames(); ++f) {
    widest = std::max(widest, analysis.firstCandidate[f + 1] - analysis.firstCandidate[f]);
  }
  return widest;
}

void searchPaths(const FrameAnalysis& analysis, const PtParam& ptParam, std::span<double> pitch,
                 SimdLevel level) {
  if (analysis.frames() < 2) return;
  const size_t widest = widestFrame(analysis);
  if (widest <= 256) {
    PathSearch<uint8_t>(analysis, ptParam, widest, level).run(pitch);
  } else if (widest <= 65536) {
    PathSearch<uint16_t>(analysis, ptParam, widest, level).run(pitch);
  } else {
    PathSearch<uint32_t>(analysis, ptParam, widest, level).run(pitch);
  }
}

template <typename Sample>
int32_t framesOf(std::span<const Sample> signal, const PtParam& ptParam) {
  if (signal.empty()) return 0;
  return frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap);
}

// Reserves room for as many raw candidates as the frames can have (every lag, or one extremum
// per two lags), so that the lists never move while they grow: the pages never written stay
// unmapped, and no copy doubles the memory for a moment. Bounds beyond a quarter of a gigabyte
// per list are left to grow.
void reserveCandidates(size_t frames, const PtParam& ptParam, FrameAnalysis& analysis) {
  constexpr size_t kLargestReservation = size_t{1} << 26;
  const auto half = static_cast<size_t>(ptParam.frameSize / 2);
  const size_t perFrame = ptParam.extremaOnly == 1 ? half / 2 + 1 : half;
  analysis.firstCandidate.reserve(frames + 1);
  if (perFrame != 0 && frames <= kLargestReservation / perFrame) {
    analysis.lags.reserve(frames * perFrame);
    analysis.values.reserve(frames * perFrame);
  }
}

// Whether autocorrelation frames of the prepared signal fit the 16-bit kernel (every
// 8-bit-range signal does).
bool smallFrames(const SampleScaler& scaler, const PtParam& ptParam) {
  return ptParam.pfType == kAutocorrelation && scaler.largestPrepared() <= kSmallSampleLimit &&
         static_cast<size_t>(ptParam.frameSize) <= kSmallFrameLimit;
}

template <typename Sample>
void analyseInto(std::span<const Sample> signal, const PtParam& ptParam, size_t frames,
                 FrameAnalysis& analysis) {
  const SampleScaler scaler(signal, ptParam.nbits);
  const auto size = static_cast<size_t>(ptParam.frameSize);
  const auto hop = static_cast<size_t>(ptParam.frameSize - ptParam.overlap);
  std::vector<int32_t> work(size);
  std::vector<int32_t> row(size / 2);
  std::vector<int32_t> lagBuffer(size / 2);
  reserveCandidates(frames, ptParam, analysis);
  analysis.firstCandidate.push_back(0);
  const bool small = smallFrames(scaler, ptParam);
  std::vector<int16_t> work16(small ? size : 0);
  for (size_t f = 0; f < frames; ++f) {
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
}

template <typename Sample>
FrameAnalysis analyseSignal(std::span<const Sample> signal, const PtParam& ptParam) {
  FrameAnalysis analysis;
  const int32_t frames = framesOf(signal, ptParam);
  if (frames <= 0) return analysis;
  analyseInto(signal, ptParam, static_cast<size_t>(frames), analysis);
  return analysis;
}

}  // namespace

FrameAnalysis analyseFrames(std::span<const int16_t> signal, const PtParam& ptParam) {
  return analyseSignal(signal, ptParam);
}

FrameAnalysis analyseFrames(std::span<const int8_t> signal, const PtParam& ptParam) {
  return analyseSignal(signal, ptParam);
}

FrameAnalysis analyseFrames(std::span<const uint8_t> signal, const PtParam& ptParam) {
  return analyseSignal(signal, ptParam);
}

void trackPitch(const FrameAnalysis& analysis, const PtParam& ptParam, std::span<double> pitch,
                SimdLevel level) {
  searchPaths(analysis, ptParam, pitch, level);
}

}  // namespace pitchtrack
