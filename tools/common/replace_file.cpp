#include "replace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "descriptor_io.h"
#include "temporary_file.h"

namespace pitchtrack {

namespace {

std::string systemReason() { return std::strerror(errno); }

// The folder holding the file, open for fsync; a folder that may be searched but not read is
// opened for path operations only, and then cannot be synced.
class Folder {
 public:
  explicit Folder(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    syncable_ = fd_ >= 0;
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  ~Folder() {
    if (fd_ >= 0) ::close(fd_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  int fd() const { return fd_; }
  // Some file systems cannot sync a folder (EINVAL); their renames are as durable as they get.
  bool sync() const { return !syncable_ || ::fsync(fd_) == 0 || errno == EINVAL; }

 private:
  int fd_ = -1;
  bool syncable_ = false;
};

bool sync(int fd) { return ::fsync(fd) == 0 || errno == EINVAL; }

// The mode first, so the bytes are never readable by more users than the old file allowed.
std::string fill(int fd, const std::string& text, const struct stat* existing) {
  if (existing != nullptr && ::fchmod(fd, existing->st_mode & 0777) != 0) return systemReason();
  if (!writeAll(fd, text) || !sync(fd)) return systemReason();
  return "";
}

std::string replaceIn(const Folder& folder, const std::string& name, const std::string& text,
                      const struct stat* existing) {
  // A file replacing another starts private and gets the old mode before its first byte.
  TemporaryFile temporary(folder.fd(), existing != nullptr ? 0600 : 0666);
  if (!temporary.valid()) return systemReason();
  if (std::string failed = fill(temporary.fd(), text, existing); !failed.empty()) return failed;
  if (!temporary.close() || !temporary.renameTo(name)) return systemReason();
  return folder.sync() ? "" : systemReason();
}

}  // namespace

std::string replaceFile(const std::string& path, const std::string& text,
                        const struct stat* existing) {
  const std::filesystem::path whole(path);
  const std::string name = whole.filename().string();
  if (name.empty() || name == "." || name == "..") return std::strerror(EISDIR);
  const std::string folderPath = whole.has_parent_path() ? whole.parent_path().string() : ".";
  const Folder folder(folderPath);
  if (folder.fd() < 0) return systemReason();
  return replaceIn(folder, name, text, existing);
}

}  // namespace pitchtrack
