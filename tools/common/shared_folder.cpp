#include "shared_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace pitchtrack {

namespace {

std::string folderOf(const std::string& entry) {
  const std::filesystem::path folder = std::filesystem::path(entry).parent_path();
  return folder.empty() ? "." : folder.string();
}

}  // namespace

bool plantedByAnotherUser(const std::string& entry, uid_t owner) {
  struct stat folder {};
  if (::stat(folderOf(entry).c_str(), &folder) != 0) return false;  // the open will fail anyway
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return shared && owner != ::geteuid() && owner != folder.st_uid;
}

}  // namespace pitchtrack
