// Where a path sends an output: to standard output's stream, to a device or FIFO opened in
// place, or to a regular file replaced (or created) whole. Symbolic links are followed here, one
// by one, so the file they lead to is replaced beside itself and the link stays a link; links
// and FIFOs that another user planted in a shared folder are refused (see shared_folder.h).
#pragma once

#include <sys/stat.h>

#include <string>

namespace pitchtrack {

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

// Finds the target of `path`; returns an empty string, or the reason it cannot be written.
std::string findOutputTarget(const std::string& path, OutputTarget& target);

}  // namespace pitchtrack
