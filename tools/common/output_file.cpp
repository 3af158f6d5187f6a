#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "blocked_signals.h"
#include "folder_walk.h"
#include "shared_folder.h"

namespace pitchtrack {

namespace {

WriteResult systemFailure() { return {std::strerror(errno)}; }

// ---------------------------------------------------------------------------------------------
// The temporary files to remove when a signal ends the process.
//
// A temporary file exists between its creation beside an output and the rename that puts it in
// place. The registry is a fixed table filled with atomics, so the signal handler reads it
// without locks; a write that finds the table full goes unregistered.

// A registered temporary file: written by one writer thread, read by the signal handler once
// `state` says it is complete.
struct Slot {
  std::atomic<int> state{0};
  int folder = -1;
  char name[64] = {};
};

constexpr int kFree = 0;
constexpr int kFilling = 1;
constexpr int kRegistered = 2;

// Enough for one write per thread of the widest corpus run (-j 1024).
std::array<Slot, 1024> slots;

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

// Set by the signal handler: no temporary file is created from then on.
std::atomic<bool> stopping{false};
// Temporary files being created and not registered yet. A creation runs with the ending
// signals blocked in its thread, so the handler never interrupts one in its own thread; it waits
// for those of other threads.
std::atomic<int> creating{0};

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler sets the flag");

// Only async-signal-safe calls: stops new temporary files, waits for the ones being created to
// be registered, removes every registered one (unlinkat), then takes the default action
// (SA_RESETHAND restored it; the signal stays blocked until the handler returns and then ends the
// process).
void removeTemporaries(int signal) {
  stopping.store(true);
  while (creating.load() > 0) {
  }
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kRegistered) {
      ::unlinkat(slot.folder, slot.name, 0);
    }
  }
  std::raise(signal);
}

void installRemover(int signal) {
  struct sigaction current {};
  if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction remover {};
  remover.sa_handler = removeTemporaries;
  remover.sa_flags = SA_RESETHAND;
  sigfillset(&remover.sa_mask);
  ::sigaction(signal, &remover, nullptr);
}

// Registers the temporary file `name` in the folder open as `folder`; returns the slot to pass to
// forgetTemporary, or -1 when the table is full.
int registerTemporary(int folder, const char* name) {
  if (std::strlen(name) >= sizeof slots[0].name) return -1;
  for (size_t i = 0; i < slots.size(); ++i) {
    int expected = kFree;
    if (slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      slots[i].folder = folder;
      std::strcpy(slots[i].name, name);
      slots[i].state.store(kRegistered, std::memory_order_release);
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Drops a registration once its file has been renamed or removed (a slot of -1 is ignored).
void forgetTemporary(int slot) {
  if (slot >= 0) slots[static_cast<size_t>(slot)].state.store(kFree, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// Descriptors.

// Writes every byte of `text` to `fd`, resuming after short writes and interruptions (a failure:
// EFBIG past the file size limit, ENOSPC, EIO, ...).
WriteResult writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return systemFailure();
    }
    done += static_cast<size_t>(written);
  }
  return {};
}

// Some file systems cannot sync (EINVAL); their writes are as durable as they get.
WriteResult syncToDisk(int fd) {
  if (::fsync(fd) == 0 || errno == EINVAL) return {};
  return systemFailure();
}

// ---------------------------------------------------------------------------------------------
// Where a path sends an output: to standard output's stream, to a device or FIFO opened in place,
// or to a regular file replaced (or created) whole. Symbolic links are followed here, one by one,
// so the file they lead to is replaced beside itself and the link stays a link.

struct OutputTarget {
  enum class Kind {
    kStandardOutput,  // the file, pipe or terminal this process's standard output writes to
    kDevice,          // written in place: a FIFO, a character device, /dev/fd/N
    kFile,            // a regular file or a name not taken yet, replaced by rename
  };
  Kind kind = Kind::kFile;
  std::string path;      // the links resolved, except for a descriptor's link (/dev/fd/N)
  bool exists = false;   // `entry` describes what is at `path` now
  struct stat entry {};  // lstat of `path`
};

constexpr int kMaxLinks = 40;  // the kernel's own limit on links in one lookup

// The path a link at `link` that says `contents` leads to.
std::string linkDestination(const std::string& link, const std::string& contents) {
  if (!contents.empty() && contents.front() == '/') return contents;
  return (std::filesystem::path(link).parent_path() / contents).string();
}

WriteResult readLink(const std::string& link, std::string& contents) {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
  if (length < 0) return systemFailure();
  if (static_cast<size_t>(length) == sizeof buffer) return {std::strerror(ENAMETOOLONG)};
  contents.assign(buffer, static_cast<size_t>(length));
  return {};
}

std::string folderOf(const std::string& entry) {
  const std::filesystem::path folder = std::filesystem::path(entry).parent_path();
  return folder.empty() ? "." : folder.string();
}

// Follows links from `target.path` to the first entry that is not a link, or to a name that
// does not exist; refuses a link planted by another user in a shared folder.
WriteResult followLinks(OutputTarget& target) {
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    if (::lstat(target.path.c_str(), &target.entry) != 0) {
      const WriteResult failure = errno == ENOENT ? WriteResult{} : systemFailure();
      if (std::string planted = plantedLinkOnTheWay(folderOf(target.path)); !planted.empty()) {
        return {planted};
      }
      target.exists = false;
      return failure;
    }
    target.exists = true;
    if (std::string planted = plantedLinkOnTheWay(folderOf(target.path)); !planted.empty())
      return {planted};
    if (!S_ISLNK(target.entry.st_mode)) return {};
    if (plantedByAnotherUser(target.path, target.entry.st_uid)) {
      return {"a symbolic link of another user in a shared folder; not followed"};
    }
    std::string contents;
    if (WriteResult read = readLink(target.path, contents); !read.ok()) return read;
    target.path = linkDestination(target.path, contents);
  }
  return {std::strerror(ELOOP)};
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

WriteResult findOutputTarget(const std::string& path, OutputTarget& target) {
  target.path = path;
  if (WriteResult followed = followLinks(target); !followed.ok()) return followed;
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
    return {"a FIFO of another user in a shared folder; not opened"};
  } else {
    target.kind = OutputTarget::Kind::kDevice;
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// Writing in place: a FIFO, a character device or a descriptor's link.

bool isFifo(const std::string& path) {
  struct stat entry {};
  return ::stat(path.c_str(), &entry) == 0 && S_ISFIFO(entry.st_mode);
}

// The reason an open failed; opening a FIFO for writing without blocking fails with ENXIO
// when nobody reads it.
WriteResult openFailure(const std::string& path) {
  const int error = errno;
  if (error == ENXIO && isFifo(path)) return {"no reader on the FIFO"};
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
  // An examined entry is not a link; one that became a link since is not followed.
  const int noFollow = target.exists ? O_NOFOLLOW : 0;
  const int fd =
      ::open(target.path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow);
  if (fd < 0) return openFailure(target.path);
  WriteResult result = writeOpened(fd, target, text);
  if (::close(fd) != 0 && result.ok()) result = systemFailure();
  return result;
}

// ---------------------------------------------------------------------------------------------
// Replacing (or creating) a regular file whole, through a temporary file beside it.

// The folder holding the file, open for fsync; a folder that may be searched but not read is
// opened for path operations only, and then cannot be synced.
class Folder {
 public:
  Folder() = default;
  ~Folder() {
    if (fd_ >= 0) ::close(fd_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  WriteResult open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    syncable_ = fd_ >= 0;
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd_ >= 0 ? WriteResult{} : systemFailure();
  }
  int fd() const { return fd_; }
  WriteResult sync() const { return syncable_ ? syncToDisk(fd_) : WriteResult{}; }

 private:
  int fd_ = -1;
  bool syncable_ = false;
};

// The temporary file an output is written to before it is renamed into place. Its name is short
// and of fixed length (".pitchtrack-" and 12 random letters and digits), so it fits in any folder
// whatever the length of the output's own name; it is made relative to an open folder, so the
// folder's path plus the name never has to fit in PATH_MAX either.
class TemporaryFile {
 public:
  explicit TemporaryFile(int folder) : folder_(folder) {}
  // Removes the file unless it was renamed into place.
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && !renamed_) ::unlinkat(folder_, name_, 0);
    forgetTemporary(slot_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates a new file (exclusively, never through a link) with `mode` subject to the umask, and
  // registers it for removal by the signal handler.
  WriteResult create(mode_t mode) {
    const WriteResult interrupted{"interrupted by a signal"};
    if (stopping) return interrupted;  // not even counted, so the handler never waits on it
    const SignalsBlocked blocked;
    ++creating;
    WriteResult result = stopping ? interrupted : createRegistered(mode);
    --creating;
    return result;
  }
  int fd() const { return fd_; }
  const char* name() const { return name_; }

  // Closes the file; a failure is a write the close reports as failed.
  WriteResult close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? WriteResult{} : systemFailure();
  }
  // Renames the closed file to `target` in the same folder.
  WriteResult renameTo(const std::string& target) {
    renamed_ = ::renameat(folder_, name_, folder_, target.c_str()) == 0;
    return renamed_ ? WriteResult{} : systemFailure();
  }

 private:
  static constexpr int kAttempts = 100;

  WriteResult createRegistered(mode_t mode) {
    for (int attempt = 0; attempt < kAttempts && fd_ < 0; ++attempt) {
      randomName();
      fd_ = ::openat(folder_, name_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd_ < 0 && errno != EEXIST) return systemFailure();
    }
    if (fd_ < 0) return systemFailure();
    created_ = true;
    slot_ = registerTemporary(folder_, name_);
    return {};
  }

  void randomName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    char tail[13];
    for (size_t i = 0; i < 12; ++i) tail[i] = kLetters[pick(entropy)];
    tail[12] = '\0';
    std::snprintf(name_, sizeof name_, ".pitchtrack-%s", tail);
  }

  int folder_;
  int fd_ = -1;
  int slot_ = -1;
  bool created_ = false;
  bool renamed_ = false;
  char name_[32] = {};
};

// The mode first, so the bytes are never readable by more users than the old file allowed.
WriteResult fill(int fd, const std::string& text, const struct stat* existing) {
  if (existing != nullptr && ::fchmod(fd, existing->st_mode & 0777) != 0) return systemFailure();
  if (WriteResult written = writeAll(fd, text); !written.ok()) return written;
  return syncToDisk(fd);
}

WriteResult replaceIn(const Folder& folder, const std::string& name, const std::string& text,
                      const struct stat* existing) {
  TemporaryFile temporary(folder.fd());
  // A file replacing another starts private and gets the old mode before its first byte.
  if (WriteResult created = temporary.create(existing != nullptr ? 0600 : 0666); !created.ok()) {
    return created;
  }
  if (WriteResult filled = fill(temporary.fd(), text, existing); !filled.ok()) return filled;
  if (WriteResult closed = temporary.close(); !closed.ok()) return closed;
  if (WriteResult renamed = temporary.renameTo(name); !renamed.ok()) return renamed;
  return folder.sync();
}

// Writes `text` to a temporary file in the folder of `path`, with the permission bits of
// `existing` (the file being replaced, or null for a new one), and renames it over `path`. The
// file is flushed to the disk before the rename, and the folder after it. A failure leaves `path`
// as it was and no temporary file behind.
WriteResult replaceFile(const std::string& path, const std::string& text,
                        const struct stat* existing) {
  const std::filesystem::path whole(path);
  const std::string name = whole.filename().string();
  if (name.empty() || name == "." || name == "..") return {std::strerror(EISDIR)};
  Folder folder;
  if (WriteResult opened =
          folder.open(whole.has_parent_path() ? whole.parent_path().string() : ".");
      !opened.ok()) {
    return opened;
  }
  return replaceIn(folder, name, text, existing);
}

// ---------------------------------------------------------------------------------------------

WriteResult writeToStandardOutput(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
    return {};
  }
  return {"cannot write to standard output"};
}

}  // namespace

void protectOutputFiles() {
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) installRemover(signal);
}

WriteResult writeOutputFile(const std::string& path, const std::string& text) {
  OutputTarget target;
  if (WriteResult found = findOutputTarget(path, target); !found.ok()) return found;
  switch (target.kind) {
    case OutputTarget::Kind::kStandardOutput:
      return writeToStandardOutput(text);
    case OutputTarget::Kind::kDevice:
      return writeToDevice(target, text);
    case OutputTarget::Kind::kFile:
      break;
  }
  return replaceFile(target.path, text, target.exists ? &target.entry : nullptr);
}

bool outputFilesStopped() { return stopping; }

WriteResult withTemporaryFile(const std::string& folderPath,
                              const std::function<void(const std::string& name)>& whileItExists) {
  Folder folder;
  if (WriteResult opened = folder.open(folderPath); !opened.ok()) return opened;
  TemporaryFile temporary(folder.fd());
  if (WriteResult created = temporary.create(0600); !created.ok()) return created;
  whileItExists(temporary.name());
  return {};
}

}  // namespace pitchtrack
