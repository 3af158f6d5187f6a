// Writing the pitch file (and other small outputs) without ever leaving a partial file.
#pragma once

#include <string>

namespace pitchtrack {

// Writes `line` to `path` so that no partial file is ever left behind. A regular file, a name
// not taken yet, or the file a symbolic link leads to, is written to a temporary file in its own
// folder, flushed to the disk and renamed into place (see replace_file.h); an existing file keeps
// its permission bits, a link stays a link. A FIFO or a device is written in place, and a FIFO
// with no reader is an error rather than a wait; when the path leads to this process's standard
// output, the line goes through the stdout stream, after everything printed before it. In a
// shared folder such as /tmp, a link or FIFO planted by another user is refused (see
// shared_folder.h). Returns false when the file cannot be completely written, with the reason in
// `reason` when it is given.
bool writePitchFile(const std::string& path, const std::string& line,
                    std::string* reason = nullptr);

}  // namespace pitchtrack
