// Writing a whole text to a file descriptor.
#pragma once

#include <string>

namespace pitchtrack {

// Writes every byte of `text` to `fd`, resuming after short writes and interruptions; false
// with errno set when a write fails (EFBIG past the file size limit, ENOSPC, EIO, ...).
bool writeAll(int fd, const std::string& text);

}  // namespace pitchtrack
