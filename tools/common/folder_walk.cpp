#include "folder_walk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <utility>

#include "shared_folder.h"

namespace pitchtrack {

namespace {

constexpr int kMaxLinks = 40;  // the kernel's own limit on links in one lookup
constexpr char kPlantedOnTheWay[] =
    "a symbolic link of another user in a shared folder on the way; not followed";
constexpr char kPlantedAtTheName[] =
    "a symbolic link of another user in a shared folder; not followed";

std::string systemFailure() { return std::strerror(errno); }

// Opens `name` in `at` as a folder, never through a link; a folder that may be searched but not
// read is opened for path operations only.
OpenFolder openFolderAt(int at, const char* name) {
  const int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return {fd, fd >= 0};
  return {::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), false};
}

// A component still to walk, and whether a link's contents brought it.
struct Component {
  std::string name;
  bool fromLink = false;
};

// The non-empty components of `path`, in front of `pending`.
void prepend(const std::string& path, bool fromLink, std::deque<Component>& pending) {
  std::deque<Component> components;
  for (size_t start = 0; start < path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    if (end > start) components.push_back({path.substr(start, end - start), fromLink});
    start = end + 1;
  }
  pending.insert(pending.begin(), components.begin(), components.end());
}

std::string readLinkAt(int folder, const std::string& name, std::string& contents) {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlinkat(folder, name.c_str(), buffer, sizeof buffer);
  if (length < 0) return systemFailure();
  if (static_cast<size_t>(length) == sizeof buffer) return std::strerror(ENAMETOOLONG);
  contents.assign(buffer, static_cast<size_t>(length));
  return "";
}

// A walk in progress: the folder reached so far and the components still to walk.
struct Walk {
  OpenFolder current;
  std::deque<Component> pending;
  int hops = 0;
};

// Moves the walk to where the link `name` in the current folder leads, once the planted-link
// rule has passed it; `planted` is the refusal.
std::string throughLink(Walk& walk, const std::string& name, uid_t owner, const char* planted) {
  if (plantedByAnotherUser(walk.current.fd(), owner)) return planted;
  if (++walk.hops > kMaxLinks) return std::strerror(ELOOP);
  std::string contents;
  if (std::string failed = readLinkAt(walk.current.fd(), name, contents); !failed.empty()) {
    return failed;
  }
  if (contents.empty()) return std::strerror(ENOENT);
  if (contents.front() == '/') {
    walk.current = openFolderAt(AT_FDCWD, "/");
    if (!walk.current.isOpen()) return systemFailure();
  }
  prepend(contents, true, walk.pending);
  return "";
}

// Makes the missing folder `component`, which is examined again (made now, or by another process
// meanwhile). A folder a link leads to is never made: like mkdir -p, the walk stops at a link that
// leads nowhere.
std::string makeFolder(Walk& walk, const Component& component) {
  if (component.fromLink) return "a symbolic link to a folder that does not exist";
  if (::mkdirat(walk.current.fd(), component.name.c_str(), 0777) != 0 && errno != EEXIST) {
    return systemFailure();
  }
  if (++walk.hops > kMaxLinks) return std::strerror(ELOOP);  // it keeps vanishing
  walk.pending.push_front(component);
  return "";
}

// Walks one component: a folder is entered, a link examined and followed, a missing folder made
// when `missing` says so.
std::string step(Walk& walk, const Component& component, MissingFolders missing) {
  const std::string& name = component.name;
  if (name == ".") return "";
  struct stat entry {};
  if (::fstatat(walk.current.fd(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT || missing == MissingFolders::kFail) return systemFailure();
    return makeFolder(walk, component);
  }
  if (S_ISLNK(entry.st_mode)) return throughLink(walk, name, entry.st_uid, kPlantedOnTheWay);
  OpenFolder next = openFolderAt(walk.current.fd(), name.c_str());
  if (!next.isOpen()) {
    // Replaced by a link since it was examined: examine it again.
    if (errno == ELOOP && ++walk.hops <= kMaxLinks) {
      walk.pending.push_front(component);
      return "";
    }
    return systemFailure();
  }
  walk.current = std::move(next);
  return "";
}

std::string walkFrom(Walk& walk, MissingFolders missing) {
  while (!walk.pending.empty()) {
    const Component component = std::move(walk.pending.front());
    walk.pending.pop_front();
    if (std::string failed = step(walk, component, missing); !failed.empty()) return failed;
  }
  return "";
}

// The folder a walk of `path` starts in.
OpenFolder startOf(const OpenFolder* start, const std::string& path) {
  if (!path.empty() && path.front() == '/') return openFolderAt(AT_FDCWD, "/");
  return openFolderAt(start != nullptr ? start->fd() : AT_FDCWD, ".");
}

}  // namespace

OpenFolder::~OpenFolder() {
  if (fd_ >= 0) ::close(fd_);
}

OpenFolder::OpenFolder(OpenFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), syncable_(other.syncable_) {}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    syncable_ = other.syncable_;
  }
  return *this;
}

std::string walkToFolder(const OpenFolder* start, const std::string& path, MissingFolders missing,
                         OpenFolder& folder) {
  Walk walk;
  walk.current = startOf(start, path);
  if (!walk.current.isOpen()) return systemFailure();
  prepend(path, false, walk.pending);
  if (std::string failed = walkFrom(walk, missing); !failed.empty()) return failed;
  folder = std::move(walk.current);
  return "";
}

std::string followLink(OpenFolder& folder, std::string& name, int& hops) {
  struct stat link {};
  if (::fstatat(folder.fd(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0) return systemFailure();
  Walk walk;
  walk.current = std::move(folder);
  walk.hops = hops;
  std::string failed = throughLink(walk, name, link.st_uid, kPlantedAtTheName);
  if (failed.empty()) {
    // The last component is the entry itself, the others its folders.
    name = walk.pending.empty() ? "." : walk.pending.back().name;
    if (!walk.pending.empty()) walk.pending.pop_back();
    failed = walkFrom(walk, MissingFolders::kFail);
  }
  hops = walk.hops;
  folder = std::move(walk.current);
  return failed;
}

}  // namespace pitchtrack
