// The voicing mask: which tracker frames may carry a pitch.
//
// The endpoint detector finds the stretches of sound (relative to the recording's own quiet and
// loud frames, with its minimum-length and final-gap rules); a tracker frame is voiced when
// either of its 16 ms halves lies in one. With keepFinal the final-gap rule is lifted. Strict
// voicing also asks every voiced frame to be periodic (periodicity.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audio/pt_param.h"
#include "pitchtrack/options.h"

namespace pitchtrack::pipeline {

// A stretch of the recording, in seconds from its start.
struct Stretch {
  double start = 0;
  double end = 0;
};

// The stretch the final-gap rule dropped, and the silence before it.
struct DroppedStretch {
  Stretch stretch;
  double gapSeconds = 0;
};

struct VoicingResult {
  std::vector<uint8_t> mask;  // one entry per tracker frame, 1 = voiced
  std::optional<DroppedStretch> dropped;
};

// The mask for options.keepFinal and options.voicing; with reportDropped, also the stretch the
// final-gap rule dropped, if any.
VoicingResult voicing(std::span<const int16_t> signal, const PtParam& ptParam, int32_t frames,
                      const Options& options, bool reportDropped);
// The same for a signal held in 8 bits, signed or unsigned: the mask of its samples widened to
// 16 bits.
VoicingResult voicing(std::span<const int8_t> signal, const PtParam& ptParam, int32_t frames,
                      const Options& options, bool reportDropped);
VoicingResult voicing(std::span<const uint8_t> signal, const PtParam& ptParam, int32_t frames,
                      const Options& options, bool reportDropped);

}  // namespace pitchtrack::pipeline
