// One recording in, one contour out: the default invocation and its options.
#pragma once

#include "command_line.h"

namespace pitchtrack::cli {

// Tracks line.waveFile ("-": standard input) and writes the result to line.pitchFile ("-":
// standard output), with the default invocation's lines on standard output and reasons on standard
// error. Returns the exit status.
int trackOne(const CommandLine& line);

}  // namespace pitchtrack::cli
