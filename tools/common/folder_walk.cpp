#include "folder_walk.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <filesystem>

#include "shared_folder.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinks = 40;  // the kernel's own limit on links in one lookup

// The components of `path` in front of `pending`.
void prepend(const fs::path& path, std::deque<std::string>& pending) {
  std::deque<std::string> components;
  for (const fs::path& component : path.relative_path()) components.push_back(component.string());
  pending.insert(pending.begin(), components.begin(), components.end());
}

bool readLink(const fs::path& link, fs::path& contents) {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
  if (length < 0 || static_cast<size_t>(length) == sizeof buffer) return false;
  contents = std::string(buffer, static_cast<size_t>(length));
  return true;
}

}  // namespace

std::string plantedLinkOnTheWay(const std::string& folder) {
  const fs::path whole(folder);
  std::error_code error;
  fs::path current = whole.is_absolute() ? whole.root_path() : fs::current_path(error);
  if (error) return "";  // the lookup itself will fail and say why
  std::deque<std::string> pending;
  prepend(whole, pending);
  for (int links = 0; !pending.empty();) {
    const std::string component = pending.front();
    pending.pop_front();
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      current = current.parent_path();
      continue;
    }
    const fs::path next = current / component;
    struct stat entry {};
    if (::lstat(next.c_str(), &entry) != 0) return "";  // nothing beyond to be misled by
    if (!S_ISLNK(entry.st_mode)) {
      current = next;
      continue;
    }
    if (plantedByAnotherUser(next.string(), entry.st_uid)) {
      return "a symbolic link of another user in a shared folder on the way; not followed";
    }
    if (++links > kMaxLinks) return std::strerror(ELOOP);
    fs::path contents;
    if (!readLink(next, contents)) return "";  // the lookup itself will fail and say why
    if (contents.is_absolute()) current = contents.root_path();
    prepend(contents, pending);
  }
  return "";
}

}  // namespace pitchtrack
