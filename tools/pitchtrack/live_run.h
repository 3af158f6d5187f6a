// pitchtrack --live: follows a recording while it is made and writes each frame as soon as it is
// final, in the chosen format, one frame per line.
#pragma once

#include "command_line.h"

namespace pitchtrack::cli {

// Status 0 when the stream ended (its end or SIGINT) and every final frame was written; 1 when
// the source or the destination cannot be opened, the recording cannot be read or the
// destination stops taking the output.
int trackLive(const CommandLine& line);

}  // namespace pitchtrack::cli
