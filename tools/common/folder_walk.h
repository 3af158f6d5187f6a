// The folders on the way to an output, walked one component at a time through open descriptors
// (openat with O_NOFOLLOW): every symbolic link on the way is examined before it is followed,
// and one another user planted in a shared folder (world-writable and sticky, like /tmp) is
// refused wherever it stands in the path. What the walk checked is what the descriptor holds, so
// nothing can be swapped in between the check and the use.
#pragma once

#include <string>

namespace pitchtrack {

// A folder held open by its descriptor, closed with the object.
class OpenFolder {
 public:
  OpenFolder() = default;
  OpenFolder(int fd, bool syncable) : fd_(fd), syncable_(syncable) {}
  ~OpenFolder();
  OpenFolder(OpenFolder&& other) noexcept;
  OpenFolder& operator=(OpenFolder&& other) noexcept;
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  // Opened for reading, so fsync and syncfs work on it; a folder that may be searched but not
  // read is open for path operations only.
  bool syncable() const { return syncable_; }

 private:
  int fd_ = -1;
  bool syncable_ = false;
};

// What to do with a folder of the path that does not exist.
enum class MissingFolders { kFail, kCreate };

// Opens the folder `path` names, relative to `start` (the current folder when null; an absolute
// path starts at the root), walking it component by component as the kernel would, `..` included.
// Links are followed by the walk itself, each only after the planted-link rule has passed it, at
// most 40 in all. Returns an empty string, or why the folder cannot be used: "a symbolic link of
// another user in a shared folder on the way; not followed", or the system's text ("No such file
// or directory", "Not a directory", ...).
std::string walkToFolder(const OpenFolder* start, const std::string& path, MissingFolders missing,
                         OpenFolder& folder);

// Reads the link `name` in `folder` and moves `folder` and `name` to the entry it leads to (its
// folders walked as above). `hops` counts the links followed so far, against the same limit.
std::string followLink(OpenFolder& folder, std::string& name, int& hops);

}  // namespace pitchtrack
