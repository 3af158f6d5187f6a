// The C interface's failures: every exception of the library as a status and a message in the
// caller's pitchtrack_error, so that none crosses into C.
#pragma once

#include <cstdint>

#include "pitchtrack/pitchtrack_c.h"

namespace pitchtrack::c_api {

// Fills *error (when not NULL) with `status`, `message` and the reader's code; returns `status`.
pitchtrack_status fail(pitchtrack_error* error, pitchtrack_status status, const char* message,
                       uint32_t waveCode = 0);

// The status of the exception being handled, *error filled with it; called from a catch block.
pitchtrack_status failWithCurrentException(pitchtrack_error* error);

// Throws std::invalid_argument("<name> is NULL") when a required pointer is missing, so that
// guarded() reports it like every other refusal.
void requireArgument(bool present, const char* name);

// Runs `step`: PITCHTRACK_OK with *error cleared, or the status of what it threw.
template <typename Step>
pitchtrack_status guarded(pitchtrack_error* error, Step step) {
  try {
    step();
    return fail(error, PITCHTRACK_OK, "");
  } catch (...) {
    return failWithCurrentException(error);
  }
}

}  // namespace pitchtrack::c_api
