// Where a path sends an output: to standard output's stream, to a device or FIFO opened in place,
// or to a regular file replaced (or created) whole. The path is walked through open folders
// (folder_walk.h) and symbolic links are followed by the walk, one by one, so the file they lead
// to is replaced beside itself and the link stays a link.
#pragma once

#include <sys/stat.h>

#include <string>

#include "folder_walk.h"
#include "output_file.h"

namespace pitchtrack {

struct OutputTarget {
  enum class Kind {
    kStandardOutput,  // the file, pipe or terminal this process's standard output writes to
    kDevice,          // written in place: a FIFO, a character device, /dev/fd/N
    kFile,            // a regular file or a name not taken yet, replaced by rename
  };
  Kind kind = Kind::kFile;
  OpenFolder folder;     // the folder that holds `name`, the links resolved
  std::string name;      // the entry in `folder`
  std::string byPath;    // a descriptor's link (/dev/fd/N to a pipe), opened by its path
  bool exists = false;   // `entry` describes what is at `name` now
  struct stat entry {};  // the entry itself, not followed
};

// Resolves `path`, relative to `start` (the current folder when null). Its folders must exist,
// unless `missing` says to create them. Refuses a link planted by another user in a shared folder
// anywhere on the way, and a FIFO planted there at the name.
WriteResult findOutputTarget(const OpenFolder* start, const std::string& path,
                             MissingFolders missing, OutputTarget& target);

// Writes `text` to a target that is not a regular file (kStandardOutput, kDevice) at once.
WriteResult writeInPlace(const OutputTarget& target, const std::string& text);

}  // namespace pitchtrack
