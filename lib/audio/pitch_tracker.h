// trackPitch: one pitch value in semitones for every frame of a whole signal.
//
// Steps: the signal's integer mean (64-bit sum, truncated) is removed and the result scaled so
// that its largest magnitude becomes 2^nbits / 2 (each sample roundToInt(float(x * scale)),
// scale = float(2^nbits * 0.5 / max|x|); a constant signal stays all 0); the pitch function of
// every frame is computed; each frame's candidates are picked; the frames are cut into maximal
// runs of frames that have candidates, and each run gets its own path search.
//
// `pitch` must hold frameCount(signal.size(), frameSize, overlap) values. Only frames that
// belong to a run are written; the others keep what the caller put there (0 marks no pitch).
// With fewer than two frames nothing is written. An unknown pfType ends the process through
// fatalError.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pitch_path.h"
#include "pt_param.h"

namespace pitchtrack {

void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch);

// As above, and leaves the pitch functions of all frames in `pitchFunctions` (row-major,
// frameCount rows of frameSize/2 values), which must hold them all.
void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch,
                std::span<int32_t> pitchFunctions);

// The part of tracking that does not depend on the pitch range: every frame's raw candidates
// (extrema middles, or every lag) with their pitch-function values. It depends on frameSize,
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
FrameAnalysis analyseFrames(std::span<const int32_t> signal, const PtParam& ptParam);

// The same analysis of a signal held in 16 bits (the pipeline's 8000 Hz working signal).
FrameAnalysis analyseFrames(std::span<const int16_t> signal, const PtParam& ptParam);

// The range-dependent rest of trackPitch: candidates inside ptParam's pitch range, runs and
// path search. `pitch` must hold analysis.frames() values.
void trackPitch(const FrameAnalysis& analysis, const PtParam& ptParam, std::span<double> pitch);
// The same on a given path search kernel (which must be available): for tests and benchmarks.
void trackPitch(const FrameAnalysis& analysis, const PtParam& ptParam, std::span<double> pitch,
                path::KernelPath kernel);

// The centred and scaled signal that trackPitch analyses.
void centreAndScale(std::span<const int32_t> signal, int32_t nbits, std::span<int32_t> prepared);

}  // namespace pitchtrack
