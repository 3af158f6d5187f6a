// Replacing (or creating) a regular file whole, so that no partial file is ever seen at its name.
#pragma once

#include <sys/stat.h>

#include <string>

namespace pitchtrack {

// Writes `text` to a temporary file in the folder of `path` and renames it over `path`. The
// temporary file gets the permission bits of `existing` (the file being replaced, or null for a
// new one, which follows the umask) through its descriptor before any byte is written, without
// the set-user-ID, set-group-ID and sticky bits. The file is flushed to the disk before the
// rename, and the folder after it, so a crash leaves the old file or the new one, complete.
// Returns an empty string, or the reason it failed; a failure leaves `path` as it was and no
// temporary file behind.
std::string replaceFile(const std::string& path, const std::string& text,
                        const struct stat* existing);

}  // namespace pitchtrack
