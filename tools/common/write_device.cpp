#include "write_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "descriptor_io.h"

namespace pitchtrack {

namespace {

bool isFifo(const std::string& path) {
  struct stat entry {};
  return ::stat(path.c_str(), &entry) == 0 && S_ISFIFO(entry.st_mode);
}

// The reason an open failed; opening a FIFO for writing without blocking fails with ENXIO
// when nobody reads it.
std::string openFailure(const std::string& path) {
  const int error = errno;
  if (error == ENXIO && isFifo(path)) return "no reader on the FIFO";
  return std::strerror(error);
}

// Whether `fd` is the entry examined before the open, not one swapped in since.
bool isExamined(int fd, const OutputTarget& target) {
  struct stat opened {};
  return ::fstat(fd, &opened) == 0 && opened.st_dev == target.entry.st_dev &&
         opened.st_ino == target.entry.st_ino;
}

bool makeBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

std::string writeOpened(int fd, const OutputTarget& target, const std::string& text) {
  if (target.exists && !isExamined(fd, target)) return "replaced while it was being opened";
  if (!makeBlocking(fd) || !writeAll(fd, text)) return std::strerror(errno);
  return "";
}

}  // namespace

std::string writeToDevice(const OutputTarget& target, const std::string& text) {
  // An examined entry is not a link; one that became a link since is not followed.
  const int noFollow = target.exists ? O_NOFOLLOW : 0;
  const int fd =
      ::open(target.path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow);
  if (fd < 0) return openFailure(target.path);
  std::string reason = writeOpened(fd, target, text);
  if (::close(fd) != 0 && reason.empty()) reason = std::strerror(errno);
  return reason;
}

}  // namespace pitchtrack
