// The temporary file an output is written to before it is renamed into place.
//
// Its name is short and of fixed length (".pitchtrack-" and 12 random letters and digits), so
// it fits in any folder whatever the length of the output's own name; it is created relative to
// an open folder, so the folder's path plus the name never has to fit in PATH_MAX either.
#pragma once

#include <sys/types.h>

#include <string>

namespace pitchtrack {

class TemporaryFile {
 public:
  // Creates a new file (exclusively, never through a link) in the folder open as `folder`, with
  // `mode` subject to the umask, and registers it for removal on SIGINT, SIGTERM and SIGHUP.
  // valid() is false when it could not be created, with errno set.
  TemporaryFile(int folder, mode_t mode);
  // Removes the file unless it was renamed into place.
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const char* name() const { return name_; }

  // Closes the file; false with errno set when the close reports a failed write.
  bool close();
  // Renames the closed file to `target` in the same folder; false with errno set.
  bool renameTo(const std::string& target);

 private:
  int folder_;
  int fd_ = -1;
  int slot_ = -1;
  bool created_ = false;
  bool renamed_ = false;
  char name_[32] = {};
};

}  // namespace pitchtrack
