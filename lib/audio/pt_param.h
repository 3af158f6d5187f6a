// PtParam: every setting of the pitch tracker, and setPtParam, the one place its tuned values
// live.
//
// setPtParam(ptParam, fs, nbits, pfType) fills every field (nothing needs initialising first):
//   - frame layout by sample rate: 8000 Hz -> 256 samples without overlap (32 ms);
//     16000 Hz -> 640 samples with 480 of overlap; any other rate -> fs*256/8000 samples
//     (truncated) without overlap;
//   - pitch range 30..84 semitones, pitchRangeWidth 24;
//   - path-search weights tuned for 8000 Hz (per pfType) and 16000 Hz, defaults elsewhere.
// It sends "Warning: frameSize too small! ..." to `progress` when the frame lasts less than
// 32 ms (rates whose frame size was truncated). Callers pass 32 <= fs <= 8388607.
//
// pfType: 1 = average magnitude difference (a period is a minimum), 2 = autocorrelation (a
// period is a maximum). Other values are stored and rejected by the operations that read them.
#pragma once

#include <cstdint>

#include "pitchtrack/pitchtrack.h"

namespace pitchtrack {

// The pitch functions a tracker can use: the values of PtParam::pfType.
enum PitchFunctionType : int32_t {
  kMagnitudeDifference = 1,  // average magnitude difference: a period is a minimum
  kAutocorrelation = 2,      // autocorrelation: a period is a maximum
};

struct PtParam {
  int32_t fs = 0;                // sample rate in Hz
  int32_t nbits = 0;             // bit depth the tracker scales the signal to
  int32_t frameSize = 0;         // frame length in samples
  int32_t overlap = 0;           // samples shared by consecutive frames
  float minPitch = 0;            // lowest allowed pitch (semitones): the largest lag
  float maxPitch = 0;            // highest allowed pitch (semitones): the smallest lag
  int32_t auxInt = 0;            // carried for callers; read by no operation
  int32_t pfType = 0;            // 1 = magnitude difference, 2 = autocorrelation
  int32_t transitionWeight = 0;  // weight of the pitch-jump penalty of the path search
  int32_t localWeight = 0;       // weight of a candidate's pitch-function value
  int32_t distType = 0;          // jump measure: 1 = lag difference, 2 = tenths of a semitone
  int32_t distPower = 0;         // 1 = |jump|, otherwise jump squared
  int32_t extremaOnly = 0;       // 1 = candidates are local extrema, otherwise every lag
  float pitchRangeWidth = 0;     // semitones of the second pass's range around the median
  float auxRealA = 0;            // carried for callers; read by no operation
  float auxRealB = 0;            // carried for callers; read by no operation
  float auxSpan = 0;             // samples in 2.5 ms; read by no operation
  float auxLevel = 0;            // 5 * 2^nbits / 2^8; read by no operation
  float auxHopScale = 0;         // hop / fs * 31.25 * 7; read by no operation
  bool auxFlagA = false;         // read by no operation
  bool auxFlagB = false;         // read by no operation
};

void setPtParam(PtParam& ptParam, int32_t fs, int32_t nbits, int32_t pfType,
                const ProgressSink& progress = {});

}  // namespace pitchtrack
