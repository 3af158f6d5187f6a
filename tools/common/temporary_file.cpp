#include "temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>

#include "blocked_signals.h"

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

// Enough for one write per thread of the widest corpus run (-j 1024) and the results a corpus
// run holds back until their batch is flushed (staged_outputs.h).
std::array<Slot, 8192> slots;

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

}  // namespace

void protectOutputFiles() {
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) installRemover(signal);
}

bool outputFilesStopped() { return stopping; }

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

WriteResult syncToDisk(int fd) {
  if (::fsync(fd) == 0 || errno == EINVAL) return {};
  return systemFailure();
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) ::close(fd_);
  if (created_ && !renamed_) ::unlinkat(folder_, name_, 0);
  forgetTemporary(slot_);
}

WriteResult TemporaryFile::create(mode_t mode) {
  const WriteResult interrupted{"interrupted by a signal"};
  if (stopping) return interrupted;  // not even counted, so the handler never waits on it
  const SignalsBlocked blocked;
  ++creating;
  WriteResult result = stopping ? interrupted : createRegistered(mode);
  --creating;
  return result;
}

// The mode first, so the bytes are never readable by more users than the old file allowed.
WriteResult TemporaryFile::fill(const std::string& text, const struct stat* existing) {
  if (existing != nullptr && ::fchmod(fd_, existing->st_mode & 0777) != 0) return systemFailure();
  return writeAll(fd_, text);
}

WriteResult TemporaryFile::close() {
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0 ? WriteResult{} : systemFailure();
}

int TemporaryFile::renameTo(const std::string& target) noexcept {
  renamed_ = ::renameat(folder_, name_, folder_, target.c_str()) == 0;
  return renamed_ ? 0 : errno;
}

WriteResult TemporaryFile::createRegistered(mode_t mode) {
  constexpr int kAttempts = 100;
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

// A generator per thread, seeded once from the system's entropy: a corpus run names a temporary
// file for every result, and opening the entropy source each time costs more than the name.
void TemporaryFile::randomName() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  char tail[13];
  for (size_t i = 0; i < 12; ++i) tail[i] = kLetters[pick(generator)];
  tail[12] = '\0';
  std::snprintf(name_, sizeof name_, ".pitchtrack-%s", tail);
}

}  // namespace pitchtrack
