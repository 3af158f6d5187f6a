// The analysis a recording goes through, behind one interface: the public entries push the
// recording's mono blocks as they arrive and take the contour at the end, whichever analysis
// Options::analysis asks for.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "pitchtrack/contour.h"
#include "pitchtrack/options.h"

namespace pitchtrack::pipeline {

class ContourBuilder {
 public:
  virtual ~ContourBuilder() = default;
  // The next block of the recording: 16-bit samples, or the byte values 0..255 of 8-bit PCM.
  virtual void push(std::span<const int16_t> block) = 0;
  // The contour of everything pushed; the builder is spent.
  virtual Contour finish() = 0;
};

// Throws std::invalid_argument when Options::frameSink is set for the default analysis, which
// says nothing before the end.
void checkFrameSink(const Options& options);

// A builder for a recording at `fs` Hz of `nbits` bits (`expectedLength` samples when known, 0
// when not). Throws std::invalid_argument, saying why, for a rate outside 1000..768000 Hz or a
// sample size other than 8 or 16 bits, and as checkFrameSink.
std::unique_ptr<ContourBuilder> makeContourBuilder(int32_t fs, int32_t nbits,
                                                   int64_t expectedLength, const Options& options);

}  // namespace pitchtrack::pipeline
