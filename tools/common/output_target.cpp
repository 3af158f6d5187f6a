#include "output_target.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "shared_folder.h"

namespace pitchtrack {

namespace {

constexpr int kMaxLinks = 40;  // the kernel's own limit on links in one lookup

std::string systemReason() { return std::strerror(errno); }

// The path a link at `link` that says `contents` leads to.
std::string linkDestination(const std::string& link, const std::string& contents) {
  if (!contents.empty() && contents.front() == '/') return contents;
  return (std::filesystem::path(link).parent_path() / contents).string();
}

bool readLink(const std::string& link, std::string& contents) {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
  if (length < 0) return false;
  if (static_cast<size_t>(length) == sizeof buffer) {
    errno = ENAMETOOLONG;
    return false;
  }
  contents.assign(buffer, static_cast<size_t>(length));
  return true;
}

// Follows links from `target.path` to the first entry that is not a link, or to a name that
// does not exist; refuses a link planted by another user in a shared folder.
std::string followLinks(OutputTarget& target) {
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    if (::lstat(target.path.c_str(), &target.entry) != 0) {
      target.exists = false;
      return errno == ENOENT ? "" : systemReason();
    }
    target.exists = true;
    if (!S_ISLNK(target.entry.st_mode)) return "";
    if (plantedByAnotherUser(target.path, target.entry.st_uid)) {
      return "a symbolic link of another user in a shared folder; not followed";
    }
    std::string contents;
    if (!readLink(target.path, contents)) return systemReason();
    target.path = linkDestination(target.path, contents);
  }
  return std::strerror(ELOOP);
}

// True when `path` leads to the very file, pipe or terminal that standard output writes to
// (/dev/stdout, /dev/fd/1 or a link to one of them).
bool isStandardOutput(const std::string& path) {
  struct stat target {};
  struct stat output {};
  return ::stat(path.c_str(), &target) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 &&
         target.st_dev == output.st_dev && target.st_ino == output.st_ino;
}

bool reachable(const std::string& path) {
  struct stat entry {};
  return ::stat(path.c_str(), &entry) == 0;
}

}  // namespace

std::string findOutputTarget(const std::string& path, OutputTarget& target) {
  target.path = path;
  if (std::string refused = followLinks(target); !refused.empty()) return refused;
  const bool regular = target.exists && S_ISREG(target.entry.st_mode);
  // Opening standard output's file again would start at its beginning, ahead of or over what
  // the process has printed; its stream keeps the order. A plain regular file named on the
  // command line is replaced, as any other.
  if ((target.path != path || (target.exists && !regular)) && isStandardOutput(path)) {
    target.kind = OutputTarget::Kind::kStandardOutput;
  } else if (regular || (!target.exists && !reachable(path))) {
    target.kind = OutputTarget::Kind::kFile;
  } else if (!target.exists) {
    // A descriptor's link (/dev/fd/3 to a pipe) says "pipe:[...]", no path; the kernel opens it.
    target.kind = OutputTarget::Kind::kDevice;
    target.path = path;
  } else if (S_ISFIFO(target.entry.st_mode) &&
             plantedByAnotherUser(target.path, target.entry.st_uid)) {
    return "a FIFO of another user in a shared folder; not opened";
  } else {
    target.kind = OutputTarget::Kind::kDevice;
  }
  return "";
}

}  // namespace pitchtrack
