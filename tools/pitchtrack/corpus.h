// A whole corpus in one process: many recordings tracked by a pool of threads, each result
// written under one output folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "command_line.h"

namespace pitchtrack::cli {

// Tracks every recording of line.waveFiles and of the list line.filesFrom, writing
// OUTDIR/NAME.pitch (.csv, .json) for each, with the recordings' subfolders below their common
// folder kept. A recording that fails is reported on standard error with its reason and the
// others go on. Returns 0 when every recording was tracked, 1 otherwise (also when OUTDIR or
// the list cannot be used, before any analysis).
int trackCorpus(const CommandLine& line);

// The deepest folder that holds every one of `recordings` (made absolute).
std::filesystem::path commonFolder(const std::vector<std::filesystem::path>& recordings);

// Where the result of `recording` goes: below `outputDirectory` at the recording's place below
// `root`, its extension replaced by `extension` (or `extension` appended when it has none).
std::filesystem::path outputPathFor(const std::filesystem::path& recording,
                                    const std::filesystem::path& root,
                                    const std::filesystem::path& outputDirectory,
                                    const std::string& extension);

}  // namespace pitchtrack::cli
