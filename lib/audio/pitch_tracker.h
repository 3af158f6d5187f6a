// The pitch tracker: one pitch value in semitones for every frame of a signal.
//
// analyseFrames does the part that does not depend on the pitch range: the signal's integer
// mean (64-bit sum, truncated) is removed and the result scaled so that its largest magnitude
// becomes 2^nbits / 2 (each sample roundToInt(float(x * scale)), scale = float(2^nbits * 0.5 /
// max|x|); a constant signal stays all 0); the pitch function of every frame is computed and
// each frame's raw candidates (extrema middles, or every lag) are picked. trackPitch keeps the
// candidates inside the pitch range, cuts the frames into maximal runs of frames that have
// candidates, and gives each run its own path search (pitch_path.h). An unknown pfType throws
// pitchtrack::InternalError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pt_param.h"
#include "simd.h"

namespace pitchtrack {

// Every frame's raw candidates with their pitch-function values. It depends on frameSize,
// overlap, nbits, pfType and extremaOnly only, so one analysis serves several passes that
// differ in minPitch and maxPitch. Frame f's candidates are entries
// firstCandidate[f] .. firstCandidate[f + 1] - 1 of lags and values.
struct FrameAnalysis {
  std::vector<size_t> firstCandidate;  // frames + 1 offsets; empty when there is no frame
  std::vector<int32_t> lags;
  std::vector<int32_t> values;

  size_t frames() const { return firstCandidate.empty() ? 0 : firstCandidate.size() - 1; }
};

// Analyses the signal frame by frame without holding the pitch functions of all frames.
FrameAnalysis analyseFrames(std::span<const int16_t> signal, const PtParam& ptParam);
// The same for a signal held in 8 bits, signed or unsigned (the working signal in the 8-bit
// range): the same result as for its samples widened to 16 bits.
FrameAnalysis analyseFrames(std::span<const int8_t> signal, const PtParam& ptParam);
FrameAnalysis analyseFrames(std::span<const uint8_t> signal, const PtParam& ptParam);

// The range-dependent rest: candidates inside ptParam's pitch range, runs and path search.
// `pitch` must hold analysis.frames() values. Only frames that belong to a run are written; the
// others keep what the caller put there (0 marks no pitch). With fewer than two frames nothing
// is written. `level` (which must be available) chooses the path search's kernel.
void trackPitch(const FrameAnalysis& analysis, const PtParam& ptParam, std::span<double> pitch,
                SimdLevel level = simdLevel());

}  // namespace pitchtrack
