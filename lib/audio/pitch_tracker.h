// trackPitch: one pitch value in semitones for every frame of a whole signal.
//
// Steps: the signal's integer mean (64-bit sum, truncated) is removed and the result scaled so
// that its largest magnitude becomes 2^nbits / 2 (each sample roundToInt(float(x * scale)),
// scale = float(2^nbits * 0.5 / max|x|); a constant signal stays all 0); the pitch function of
// every frame is computed at once; each frame's candidates are picked; the frames are cut into
// maximal runs of frames that have candidates, and each run gets its own path search.
//
// `pitch` must hold frameCount(signal.size(), frameSize, overlap) values. Only frames that
// belong to a run are written; the others keep what the caller put there (0 marks no pitch).
// With fewer than two frames nothing is written. An unknown pfType ends the process through
// fatalError.
#pragma once

#include <cstdint>
#include <span>

#include "pt_param.h"

void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch);

// As above, and leaves the pitch functions of all frames in `pitchFunctions` (row-major,
// frameCount rows of frameSize/2 values), which must hold them all.
void trackPitch(std::span<const int32_t> signal, const PtParam& ptParam, std::span<double> pitch,
                std::span<int32_t> pitchFunctions);

// The centred and scaled signal that trackPitch analyses (exposed for tests and tools).
void centreAndScale(std::span<const int32_t> signal, int32_t nbits, std::span<int32_t> prepared);
