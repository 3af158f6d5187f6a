// A whole corpus in one process: many recordings tracked by a pool of threads, each result
// written below one output folder at a path that depends on the recording's name alone.
#pragma once

#include "command_line.h"

namespace pitchtrack::cli {

// Tracks every recording of line.waveFiles (folders walked with -r) and then of the list
// line.filesFrom, read as it arrives, tracking starting with the first name; each result goes to
// OUTDIR/NAME.pitch (.csv, .json, ...) by the rule of output_naming.h. A name whose output an
// earlier name took is refused; a recording that fails is reported on standard error with its
// reason and the others go on. The results are flushed to the disk in batches, and the run
// reports success only once the last batch is. Returns 0 when every name was tracked and
// written, 1 otherwise (also when OUTDIR or the list cannot be used, or memory runs out).
int trackCorpus(const CommandLine& line);

}  // namespace pitchtrack::cli
