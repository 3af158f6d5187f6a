// Where a live run writes its frames: each piece of text goes out in one write as soon as it is
// given, with no buffer in between. A regular file is written in place as it comes, with no
// temporary file: a live file is a log, not an atomic result.
#pragma once

#include <string>

namespace pitchtrack::cli {

class LiveOutput {
 public:
  // Opens `name` ("-" is standard output; a path may name a FIFO, a Unix socket or a file, which
  // is created or emptied). Throws std::runtime_error with the reason when it cannot.
  explicit LiveOutput(const std::string& name);
  ~LiveOutput();
  LiveOutput(const LiveOutput&) = delete;
  LiveOutput& operator=(const LiveOutput&) = delete;

  // Writes `text` whole. After a failure (the reader went away, the disk is full) it writes
  // nothing more and returns false; reason() says why.
  bool write(const std::string& text);
  const std::string& reason() const { return reason_; }

 private:
  int descriptor_ = -1;
  bool ownsDescriptor_ = false;
  std::string reason_;
};

}  // namespace pitchtrack::cli
