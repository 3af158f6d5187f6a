#include "temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "output_signals.h"

namespace pitchtrack {

namespace {

constexpr int kAttempts = 100;

void randomName(char (&name)[32]) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device entropy;
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  char tail[13];
  for (size_t i = 0; i < 12; ++i) tail[i] = kLetters[pick(entropy)];
  tail[12] = '\0';
  std::snprintf(name, sizeof name, ".pitchtrack-%s", tail);
}

}  // namespace

TemporaryFile::TemporaryFile(int folder, mode_t mode) : folder_(folder) {
  for (int attempt = 0; attempt < kAttempts && fd_ < 0; ++attempt) {
    randomName(name_);
    fd_ = ::openat(folder_, name_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd_ < 0 && errno != EEXIST) return;
  }
  created_ = fd_ >= 0;
  if (created_) slot_ = registerTemporary(folder_, name_);
}

TemporaryFile::~TemporaryFile() {
  const int saved = errno;  // the caller reports the failure that brought it here
  if (fd_ >= 0) ::close(fd_);
  if (created_ && !renamed_) ::unlinkat(folder_, name_, 0);
  forgetTemporary(slot_);
  errno = saved;
}

bool TemporaryFile::close() {
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

bool TemporaryFile::renameTo(const std::string& target) {
  renamed_ = ::renameat(folder_, name_, folder_, target.c_str()) == 0;
  return renamed_;
}

}  // namespace pitchtrack
