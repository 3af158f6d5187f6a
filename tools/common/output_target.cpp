#include "output_target.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "shared_folder.h"

namespace pitchtrack {

namespace {

// The folder part and the last component of `path` ("a/b/c" gives "a/b" and "c"; "c" gives ""
// and "c"; a path ending in "/" gives an empty name).
void splitPath(const std::string& path, std::string& folder, std::string& name) {
  const size_t slash = path.rfind('/');
  const size_t folderEnd = slash == std::string::npos ? 0 : std::max<size_t>(slash, 1);
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  folder.assign(path, 0, folderEnd);
  name.assign(path, nameStart);
}

// Follows links from `target.name` to the first entry that is not a link, or to a name that does
// not exist; `followed` says whether there was a link.
WriteResult resolveName(OutputTarget& target, bool& followed) {
  int hops = 0;
  followed = false;
  for (;;) {
    if (::fstatat(target.folder.fd(), target.name.c_str(), &target.entry, AT_SYMLINK_NOFOLLOW) !=
        0) {
      target.exists = false;
      return errno == ENOENT ? WriteResult{} : WriteResult{std::strerror(errno)};
    }
    target.exists = true;
    if (!S_ISLNK(target.entry.st_mode)) return {};
    followed = true;
    if (std::string failed = followLink(target.folder, target.name, hops); !failed.empty()) {
      return {failed};
    }
  }
}

// True when `path` leads to the very file, pipe or terminal that standard output writes to
// (/dev/stdout, /dev/fd/1 or a link to one of them).
bool isStandardOutput(const std::string& path) {
  struct stat target {};
  struct stat output {};
  return ::stat(path.c_str(), &target) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 &&
         target.st_dev == output.st_dev && target.st_ino == output.st_ino;
}

bool reachable(const OpenFolder* start, const std::string& path) {
  struct stat entry {};
  return ::fstatat(start != nullptr ? start->fd() : AT_FDCWD, path.c_str(), &entry, 0) == 0;
}

}  // namespace

WriteResult findOutputTarget(const OpenFolder* start, const std::string& path,
                             MissingFolders missing, OutputTarget& target) {
  std::string folder;
  splitPath(path, folder, target.name);
  if (std::string failed = walkToFolder(start, folder, missing, target.folder); !failed.empty()) {
    return {failed};
  }
  if (target.name.empty()) target.name.push_back('.');  // "dir/" names the folder itself
  bool followed = false;
  if (WriteResult resolved = resolveName(target, followed); !resolved.ok()) return resolved;
  const bool regular = target.exists && S_ISREG(target.entry.st_mode);
  // Opening standard output's file again would start at its beginning, ahead of or over what
  // the process has printed; its stream keeps the order. A plain regular file named on the
  // command line is replaced, as any other.
  if (start == nullptr && (followed || (target.exists && !regular)) && isStandardOutput(path)) {
    target.kind = OutputTarget::Kind::kStandardOutput;
  } else if (regular || (!target.exists && !reachable(start, path))) {
    target.kind = OutputTarget::Kind::kFile;
  } else if (!target.exists) {
    // A descriptor's link (/dev/fd/3 to a pipe) says "pipe:[...]", no path; the kernel opens it.
    target.kind = OutputTarget::Kind::kDevice;
    target.byPath = path;
  } else if (S_ISFIFO(target.entry.st_mode) &&
             plantedByAnotherUser(target.folder.fd(), target.entry.st_uid)) {
    return {"a FIFO of another user in a shared folder; not opened"};
  } else {
    target.kind = OutputTarget::Kind::kDevice;
  }
  return {};
}

}  // namespace pitchtrack
