#include "kept_warnings.h"

#include <utility>

namespace pitchtrack {

KeptWarnings::KeptWarnings(const Options& caller) : options_(caller) {
  options_.warning = [this, sink = caller.warning](const Warning& warning) {
    kept_.push_back(warning);
    if (sink) sink(warning);
  };
}

Contour KeptWarnings::attachTo(Contour contour) {
  contour.warnings = std::move(kept_);
  kept_.clear();
  return contour;
}

}  // namespace pitchtrack
