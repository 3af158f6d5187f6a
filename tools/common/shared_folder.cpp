#include "shared_folder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace pitchtrack {

bool plantedByAnotherUser(int folder, uid_t owner) {
  struct stat status {};
  if (::fstat(folder, &status) != 0) return false;  // the use will fail anyway
  const bool shared = (status.st_mode & S_ISVTX) != 0 && (status.st_mode & S_IWOTH) != 0;
  return shared && owner != ::geteuid() && owner != status.st_uid;
}

}  // namespace pitchtrack
