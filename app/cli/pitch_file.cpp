#include "pitch_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace pitchtrack {

namespace fs = std::filesystem;

namespace {

// Writes all of `line` and closes the file; false if any byte or the close failed.
bool writeAndClose(std::FILE* raw, const std::string& line) {
  const bool written = std::fwrite(line.data(), 1, line.size(), raw) == line.size() &&
                       std::fflush(raw) == 0 && std::ferror(raw) == 0;
  const bool closed = std::fclose(raw) == 0;
  return written && closed;
}

bool writeDirectly(const std::string& path, const std::string& line) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  return file != nullptr && writeAndClose(file, line);
}

// True when `path` leads to the very file, pipe or terminal that standard output writes to
// (/dev/stdout, /dev/fd/1 or a link to one of them).
bool isStandardOutput(const std::string& path) {
  struct stat target {};
  struct stat output {};
  return ::stat(path.c_str(), &target) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 &&
         target.st_dev == output.st_dev && target.st_ino == output.st_ino;
}

// Opening standard output's file again would start at its beginning (and truncate a regular
// file), ahead of or over what the process has printed; the stream itself keeps the order.
bool writeToStandardOutput(const std::string& line) {
  return std::fwrite(line.data(), 1, line.size(), stdout) == line.size() &&
         std::fflush(stdout) == 0;
}

// Creates a new file beside `target` that did not exist before ("wx" is exclusive).
std::FILE* createTemporaryBeside(const fs::path& target, fs::path& temporary) {
  std::random_device entropy;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary = target;
    temporary += ".tmp" + std::to_string(entropy());
    if (std::FILE* file = std::fopen(temporary.c_str(), "wx")) return file;
  }
  return nullptr;
}

bool writeByRename(const fs::path& target, const std::string& line,
                   const fs::file_status& existing) {
  fs::path temporary;
  std::FILE* file = createTemporaryBeside(target, temporary);
  if (file == nullptr) return false;
  std::error_code error;
  bool ok = writeAndClose(file, line);
  if (ok && fs::exists(existing)) {
    fs::permissions(temporary, existing.permissions(), fs::perm_options::replace, error);
    ok = !error;
  }
  if (ok) {
    fs::rename(temporary, target, error);
    ok = !error;
  }
  if (!ok) fs::remove(temporary, error);
  return ok;
}

}  // namespace

bool writePitchFile(const std::string& path, const std::string& line) {
  std::error_code error;
  const fs::file_status link = fs::symlink_status(path, error);
  const bool exists = fs::exists(link);
  if (exists && !fs::is_regular_file(link)) {
    return isStandardOutput(path) ? writeToStandardOutput(line) : writeDirectly(path, line);
  }
  return writeByRename(path, line, link);
}

}  // namespace pitchtrack
