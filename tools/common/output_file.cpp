#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "output_target.h"
#include "temporary_file.h"

namespace pitchtrack {

namespace {

WriteResult systemFailure() { return {std::strerror(errno)}; }

// ---------------------------------------------------------------------------------------------
// Writing in place: a FIFO, a character device or a descriptor's link.

// The reason an open failed; opening a FIFO for writing without blocking fails with ENXIO
// when nobody reads it.
WriteResult openFailure(const OutputTarget& target) {
  const int error = errno;
  struct stat entry = target.entry;
  const bool known = target.exists || ::stat(target.byPath.c_str(), &entry) == 0;
  if (error == ENXIO && known && S_ISFIFO(entry.st_mode)) return {"no reader on the FIFO"};
  return {std::strerror(error)};
}

// Whether `fd` is the entry examined before the open, not one swapped in since.
bool isExamined(int fd, const OutputTarget& target) {
  struct stat opened {};
  return ::fstat(fd, &opened) == 0 && opened.st_dev == target.entry.st_dev &&
         opened.st_ino == target.entry.st_ino;
}

WriteResult makeBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return {};
  return systemFailure();
}

WriteResult writeOpened(int fd, const OutputTarget& target, const std::string& text) {
  if (target.exists && !isExamined(fd, target)) return {"replaced while it was being opened"};
  if (WriteResult blocking = makeBlocking(fd); !blocking.ok()) return blocking;
  return writeAll(fd, text);
}

// Opens the target without blocking (a FIFO with no reader is an error, not a wait), checks that
// it is still the entry that was examined, and writes `text` to it.
WriteResult writeToDevice(const OutputTarget& target, const std::string& text) {
  constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  // An examined entry is not a link; one that became a link since is not followed.
  const int fd = target.byPath.empty()
                     ? ::openat(target.folder.fd(), target.name.c_str(), kFlags | O_NOFOLLOW)
                     : ::open(target.byPath.c_str(), kFlags);
  if (fd < 0) return openFailure(target);
  WriteResult result = writeOpened(fd, target, text);
  if (::close(fd) != 0 && result.ok()) result = systemFailure();
  return result;
}

WriteResult writeToStandardOutput(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
    return {};
  }
  return {"cannot write to standard output"};
}

// ---------------------------------------------------------------------------------------------
// Replacing (or creating) a regular file whole, through a temporary file beside it.

// Writes `text` to a temporary file in the target's folder, with the permission bits of the file
// it replaces (a new file follows the umask), and renames it over the target's name. The file is
// flushed to the disk before the rename, and the folder after it. A failure leaves the target as
// it was and no temporary file behind.
WriteResult replaceFile(const OutputTarget& target, const std::string& text) {
  const struct stat* existing = target.exists ? &target.entry : nullptr;
  TemporaryFile temporary(target.folder.fd());
  // A file replacing another starts private and gets the old mode before its first byte.
  if (WriteResult created = temporary.create(existing != nullptr ? 0600 : 0666); !created.ok()) {
    return created;
  }
  if (WriteResult filled = temporary.fill(text, existing); !filled.ok()) return filled;
  if (WriteResult synced = syncToDisk(temporary.fd()); !synced.ok()) return synced;
  if (WriteResult closed = temporary.close(); !closed.ok()) return closed;
  if (const int error = temporary.renameTo(target.name); error != 0) {
    return {std::strerror(error)};
  }
  return target.folder.syncable() ? syncToDisk(target.folder.fd()) : WriteResult{};
}

}  // namespace

WriteResult writeOutputFile(const std::string& path, const std::string& text) {
  OutputTarget target;
  if (WriteResult found = findOutputTarget(nullptr, path, MissingFolders::kFail, target);
      !found.ok()) {
    return found;
  }
  switch (target.kind) {
    case OutputTarget::Kind::kStandardOutput:
      return writeToStandardOutput(text);
    case OutputTarget::Kind::kDevice:
      return writeToDevice(target, text);
    case OutputTarget::Kind::kFile:
      break;
  }
  return replaceFile(target, text);
}

WriteResult writeInPlace(const OutputTarget& target, const std::string& text) {
  return target.kind == OutputTarget::Kind::kStandardOutput ? writeToStandardOutput(text)
                                                            : writeToDevice(target, text);
}

WriteResult withTemporaryFile(const std::string& folderPath,
                              const std::function<void(const std::string& name)>& whileItExists) {
  OpenFolder folder;
  if (std::string failed = walkToFolder(nullptr, folderPath, MissingFolders::kFail, folder);
      !failed.empty()) {
    return {failed};
  }
  TemporaryFile temporary(folder.fd());
  if (WriteResult created = temporary.create(0600); !created.ok()) return created;
  whileItExists(temporary.name());
  return {};
}

}  // namespace pitchtrack
