// The library's options for a command line: the remedies it asks for, and the warnings printed
// on standard error unless it is quiet.
#pragma once

#include <string>

#include "command_line.h"
#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::cli {

// line.analysis, and unless line.quiet, a warning sink that prints
// "pitchtrack: FILE: warning: MESSAGE" for `file`. The progress sink is left empty.
Options analysisOptions(const CommandLine& line, const std::string& file);

}  // namespace pitchtrack::cli
