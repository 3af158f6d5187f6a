#include "pitch_tracker.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "candidates.h"
#include "frame.h"
#include "pitch_function.h"
#include "pitch_path.h"

namespace {

// Every frame's candidate list; the Candidate records of all frames share one pool so that
// nothing is allocated per frame.
struct CandidateLattice {
  std::vector<FrameCandidates> frames;
  std::vector<Candidate> pool;
};

CandidateLattice buildLattice(std::span<const int32_t> pitchFunctions, int32_t frames,
                              const PtParam& ptParam) {
  const auto half = static_cast<size_t>(ptParam.frameSize / 2);
  CandidateLattice lattice;
  lattice.frames.resize(static_cast<size_t>(frames));
  std::vector<int32_t> lags(half);
  std::vector<size_t> firstOfFrame(lattice.frames.size());
  for (size_t f = 0; f < lattice.frames.size(); ++f) {
    const auto row = pitchFunctions.subspan(f * half, half);
    const int32_t count = pickCandidates(row, ptParam, lags);
    lattice.frames[f].count = count;
    firstOfFrame[f] = lattice.pool.size();
    for (int32_t k = 0; k < count; ++k) {
      const int32_t lag = lags[static_cast<size_t>(k)];
      lattice.pool.push_back(Candidate{lag, row[static_cast<size_t>(lag)], -1, 0.0f});
    }
  }
  const std::span<Candidate> pool(lattice.pool);
  for (size_t f = 0; f < lattice.frames.size(); ++f) {
    lattice.frames[f].candidates =
        pool.subspan(firstOfFrame[f], static_cast<size_t>(lattice.frames[f].count));
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

}  // namespace

void centreAndScale(std::span<const int32_t> signal, int32_t nbits, std::span<int32_t> prepared) {
  if (signal.empty()) return;
  int64_t sum = 0;
  for (const int32_t v : signal) sum += v;
  const int64_t mean = sum / static_cast<int64_t>(signal.size());
  int64_t largest = 0;
  for (const int32_t v : signal) {
    const int64_t centred = v - mean;
    largest = std::max(largest, centred < 0 ? -centred : centred);
  }
  if (largest == 0) {
    std::fill(prepared.begin(), prepared.end(), 0);
    return;
  }
  const auto scale = static_cast<float>(std::pow(2.0, nbits) * 0.5 / static_cast<double>(largest));
  for (size_t i = 0; i < signal.size(); ++i) {
    const double centred = static_cast<double>(signal[i] - mean);
    prepared[i] = roundToInt(static_cast<float>(centred * scale));
  }
}

void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch) {
  const int32_t frames =
      frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap);
  if (signal.empty() || frames <= 0) return;
  std::vector<int32_t> pitchFunctions(static_cast<size_t>(frames) *
                                      static_cast<size_t>(ptParam.frameSize / 2));
  trackPitch(signal, ptParam, pitch, pitchFunctions);
}

void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch,
                std::span<int32_t> pitchFunctions) {
  const int32_t frames =
      frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap);
  if (signal.empty() || frames <= 0) return;
  std::vector<int32_t> prepared(signal.size());
  centreAndScale(signal, ptParam.nbits, prepared);
  pitchFunction(prepared, ptParam.frameSize, ptParam.overlap, ptParam.pfType, pitchFunctions);
  prepared = {};
  CandidateLattice lattice = buildLattice(pitchFunctions, frames, ptParam);
  searchRuns(lattice.frames, ptParam, pitch);
}
