// The warnings of one analysis kept for its contour (Contour::warnings) while they also reach
// the caller's own sink.
#pragma once

#include <vector>

#include "pitchtrack/contour.h"
#include "pitchtrack/options.h"

namespace pitchtrack {

// Holds the caller's options with a warning sink that keeps each warning, then hands it on to
// the caller's sink if there is one. The sink points into this object, so it neither copies nor
// moves; the analysis must run with options() while it lives.
class KeptWarnings {
 public:
  explicit KeptWarnings(const Options& caller);
  KeptWarnings(const KeptWarnings&) = delete;
  KeptWarnings& operator=(const KeptWarnings&) = delete;

  const Options& options() const { return options_; }
  // `contour` with the warnings kept so far; they are not kept twice.
  Contour attachTo(Contour contour);

 private:
  Options options_;
  std::vector<Warning> kept_;
};

}  // namespace pitchtrack
