// The temporary file an output is written to before it is renamed into place, and the registry
// through which a signal that ends the program removes the ones still in flight.
#pragma once

#include <sys/stat.h>

#include <string>

#include "output_file.h"

namespace pitchtrack {

// Writes every byte of `text` to `fd`, resuming after short writes and interruptions (a failure:
// EFBIG past the file size limit, ENOSPC, EIO, ...).
WriteResult writeAll(int fd, const std::string& text);

// Flushes `fd` to the disk; some file systems cannot (EINVAL), and their writes are as durable
// as they get.
WriteResult syncToDisk(int fd);

// A new file in an open folder. Its name is short and of fixed length (".pitchtrack-" and 12
// random letters and digits), so it fits in any folder whatever the length of the output's own
// name; it is made relative to the folder's descriptor, so the folder's path plus the name never
// has to fit in PATH_MAX either. The folder must stay open while the object lives.
class TemporaryFile {
 public:
  explicit TemporaryFile(int folder) : folder_(folder) {}
  // Removes the file unless it was renamed into place.
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates the file (exclusively, never through a link) with `mode` subject to the umask, and
  // registers it for removal by the signal handler; fails once such a signal has come.
  WriteResult create(mode_t mode);
  // Gives the file the permission bits of `existing` (the file it will replace, or null for a new
  // one), before its first byte, then writes `text`.
  WriteResult fill(const std::string& text, const struct stat* existing);
  // Closes the file; a failure is a write the close reports as failed.
  WriteResult close();
  // Renames the closed file to `target` in the same folder; 0, or the error (it takes no
  // memory, so a batch of results is committed when memory has run out).
  int renameTo(const std::string& target) noexcept;

  int fd() const { return fd_; }
  const char* name() const { return name_; }

 private:
  WriteResult createRegistered(mode_t mode);
  void randomName();

  int folder_;
  int fd_ = -1;
  int slot_ = -1;
  bool created_ = false;
  bool renamed_ = false;
  char name_[32] = {};
};

}  // namespace pitchtrack
