// The fuzz targets' recording file: one memory-backed file (memfd) that the readers open by its
// /proc path, refilled with each input, so that no run touches the disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace pitchtrack::fuzzing {

// Ends the run with `what` on standard error, for libFuzzer to keep the input.
[[noreturn]] inline void broken(const char* target, const char* what) {
  std::fprintf(stderr, "%s: %s\n", target, what);
  std::abort();
}

class MemoryFile {
 public:
  explicit MemoryFile(const char* target) : target_(target), descriptor_(memfd_create(target, 0)) {
    if (descriptor_ < 0) broken(target_, "memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(descriptor_);
  }

  // The file holds exactly `size` bytes of `data` afterwards.
  void fill(const uint8_t* data, size_t size) const {
    if (ftruncate(descriptor_, 0) != 0) broken(target_, "cannot empty the memory file");
    for (size_t done = 0; done < size;) {
      const ssize_t n = pwrite(descriptor_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) broken(target_, "cannot fill the memory file");
      done += static_cast<size_t>(n);
    }
  }

  const std::string& path() const { return path_; }

 private:
  const char* target_;
  int descriptor_;
  std::string path_;
};

}  // namespace pitchtrack::fuzzing
