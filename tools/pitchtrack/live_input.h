// The recording of a live run, handed to the library through a pipe of the tool's own: a thread
// copies the source into the pipe as its bytes arrive, and closes the pipe at the source's end
// or at the first SIGINT. The analysis then ends as at the end of the recording and delivers
// every frame already final; a second SIGINT ends the process at once.
#pragma once

#include <string>
#include <thread>

namespace pitchtrack::cli {

class LiveInput {
 public:
  // Opens `name` ("-" is standard input; a path may name a FIFO, a file or a Unix socket) and
  // starts copying. Throws std::runtime_error with the reason when it cannot be opened.
  explicit LiveInput(const std::string& name);
  ~LiveInput();
  LiveInput(const LiveInput&) = delete;
  LiveInput& operator=(const LiveInput&) = delete;

  // Where the library reads the recording.
  int descriptor() const { return readEnd_; }
  // Ends the copy, as SIGINT does.
  void stop();

 private:
  int source_ = -1;
  bool ownsSource_ = false;
  int readEnd_ = -1;
  int stopRead_ = -1;
  int stopWrite_ = -1;
  std::thread copier_;
};

}  // namespace pitchtrack::cli
