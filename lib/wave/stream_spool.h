// Copies a stream into an unnamed temporary file, for the decoders that must seek: libsndfile's
// MP3 decoder looks at the end of its input (for a tag and the length) before it decodes the
// start, and its AIFF, CAF and Wave64 readers seek back among their chunks, which a pipe cannot
// give back. The file is gone once closed.
#pragma once

#include <optional>
#include <string>

#include "wave/riff.h"

namespace pitchtrack {

// The whole of `stream` from its start as a regular, seekable file; nullopt with `problem` set
// when no temporary file can be written.
std::optional<riff::File> spoolToTemporaryFile(riff::File& stream, std::string& problem);

}  // namespace pitchtrack
