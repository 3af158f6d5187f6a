// Writing the pitch file (and other small outputs) without ever leaving a partial file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pitchtrack {

// Writes `line` to `path` so that no partial file is ever left behind: a regular file (or a
// path that does not exist yet) is written to a temporary file beside it, flushed, closed and
// renamed into place, keeping an existing file's permission bits; a target that exists and is
// not a regular file, or is a symbolic link (a FIFO, /dev/stdout, a link elsewhere), is written
// directly; when such a target is this process's standard output, the line goes through the
// stdout stream, after everything printed before it. Returns false when the file cannot be
// completely written.
bool writePitchFile(const std::string& path, const std::string& line);

}  // namespace pitchtrack
