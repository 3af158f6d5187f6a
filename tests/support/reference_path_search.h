// The path search written out once more, straightforwardly: every candidate of a run is a
// Candidate record, every frame is linked to the one before, and the best path is traced back
// through the records. The tests hold the library's two-frame search (trackPitch, linkFrame)
// against it; it follows pitch_path.h's arithmetic (double sums compared with the stored single
// precision best, strict comparisons, so the lower index wins ties).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "audio/fault.h"
#include "audio/frame.h"
#include "audio/pitch_path.h"
#include "audio/pt_param.h"

namespace testsupport {

using pitchtrack::PtParam;

// One pitch candidate of one frame.
struct Candidate {
  int32_t lag = 0;           // lag in samples, 1 .. frameSize/2 - 1
  int32_t pfValue = 0;       // the frame's pitch-function value at lag
  int32_t backPointer = -1;  // best predecessor's index in the previous frame (-1 in the first)
  float cost = 0;            // accumulated cost (pfType 1) or score (pfType 2) of the best path
};

// The candidate list of one frame, in increasing lag order.
struct FrameCandidates {
  int32_t count = 0;                // number of candidates
  int32_t chosenLag = 0;            // the lag the path search chose
  std::span<Candidate> candidates;  // `count` records; the storage belongs to the caller
};

namespace reference_path {

using namespace pitchtrack;

// Pitch-jump penalty between two neighbouring candidates, in double precision.
class JumpPenalty {
 public:
  explicit JumpPenalty(const PtParam& ptParam)
      : weight_(ptParam.transitionWeight), squared_(ptParam.distPower != 1) {
    if (ptParam.distType == 2) {
      semitoneTable_.resize(static_cast<size_t>(ptParam.frameSize / 2));
      for (size_t lag = 1; lag < semitoneTable_.size(); ++lag) {
        semitoneTable_[lag] = lagTenthsOfSemitone(ptParam.fs, static_cast<int32_t>(lag));
      }
    }
  }

  double operator()(int32_t fromLag, int32_t toLag) const {
    const int32_t jump = semitoneTable_.empty() ? wrapAbsDiff(fromLag, toLag)
                                                : wrapAbsDiff(pitchOf(fromLag), pitchOf(toLag));
    const int32_t measure = squared_ ? wrapMul(jump, jump) : jump;
    return static_cast<double>(weight_) * measure;
  }

 private:
  int32_t pitchOf(int32_t lag) const { return semitoneTable_[static_cast<size_t>(lag)]; }

  int32_t weight_;
  bool squared_;
  std::vector<int32_t> semitoneTable_;  // filled for distType 2 only
};

// localWeight * pfValue as a 32-bit integer product.
inline int32_t localTerm(const PtParam& ptParam, const Candidate& c) {
  return wrapMul(ptParam.localWeight, c.pfValue);
}

// Best predecessor of `to` in `prev`: minimum of cost + P for pfType 1, maximum of cost - P
// otherwise. Sums are formed in double and compared with the stored single-precision best.
inline void linkBestPredecessor(const FrameCandidates& prev, Candidate& to,
                                const JumpPenalty& penalty, const PtParam& ptParam) {
  const bool minimise = ptParam.pfType == kMagnitudeDifference;
  const auto score = [&](const Candidate& from) {
    const double jump = penalty(from.lag, to.lag);
    return minimise ? static_cast<double>(from.cost) + jump : static_cast<double>(from.cost) - jump;
  };
  float best = static_cast<float>(score(prev.candidates[0]));
  int32_t bestIndex = 0;
  for (int32_t i = 1; i < prev.count; ++i) {
    const double v = score(prev.candidates[static_cast<size_t>(i)]);
    if (minimise ? v < best : v > best) {
      best = static_cast<float>(v);
      bestIndex = i;
    }
  }
  to.backPointer = bestIndex;
  to.cost = static_cast<float>(static_cast<double>(localTerm(ptParam, to)) + best);
}

inline int32_t bestEndIndex(const FrameCandidates& last, const PtParam& ptParam) {
  if (ptParam.pfType != kMagnitudeDifference && ptParam.pfType != kAutocorrelation) {
    audio_fault::unknownCode(audio_fault::kUnknownPtParamPfType, ptParam.pfType,
                             audio_fault::kLinePitchPath);
  }
  int32_t best = 0;
  for (int32_t i = 1; i < last.count; ++i) {
    const float cost = last.candidates[static_cast<size_t>(i)].cost;
    const float bestCost = last.candidates[static_cast<size_t>(best)].cost;
    if (ptParam.pfType == kMagnitudeDifference ? cost < bestCost : cost > bestCost) best = i;
  }
  return best;
}

}  // namespace reference_path

// Searches the run (at least one frame, each with at least one candidate), sets chosenLag of
// every frame and backPointer/cost of every candidate, and writes each frame's pitch in
// semitones to pitch[0 .. size-1]. An unknown pfType throws pitchtrack::InternalError after the
// forward pass.
inline void dpPitchPath(std::span<FrameCandidates> run, const PtParam& ptParam,
                        std::span<double> pitch) {
  using namespace reference_path;
  const JumpPenalty penalty(ptParam);
  for (Candidate& c : run[0].candidates.first(static_cast<size_t>(run[0].count))) {
    c.cost = static_cast<float>(localTerm(ptParam, c));
    c.backPointer = -1;
  }
  for (size_t f = 1; f < run.size(); ++f) {
    for (Candidate& c : run[f].candidates.first(static_cast<size_t>(run[f].count))) {
      linkBestPredecessor(run[f - 1], c, penalty, ptParam);
    }
  }

  int32_t current = bestEndIndex(run.back(), ptParam);
  for (size_t f = run.size(); f-- > 0;) {
    const Candidate& chosen = run[f].candidates[static_cast<size_t>(current)];
    run[f].chosenLag = chosen.lag;
    current = chosen.backPointer;
  }
  for (size_t f = 0; f < run.size(); ++f) {
    const double frequency = static_cast<double>(ptParam.fs) / run[f].chosenLag;
    pitch[f] = pitchtrack::semitoneOfFrequency(frequency);
  }
}

}  // namespace testsupport
