// Keeps a corpus run from losing a result or a recording: an output that would replace one of
// the run's recordings is refused, and so is a second recording whose output another recording
// of the run has already written (a.wav and a.WAV both give a.pitch).
#pragma once

#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace pitchtrack::cli {

class OutputClaims {
 public:
  // Notes the file `recording` names (nothing when it cannot be examined).
  void addRecording(const std::string& recording);
  // Before `output` is written for `recording`: an empty string, or the reason it must not be
  // written. A claimed output stays claimed for the rest of the run.
  std::string claim(const std::string& output, const std::string& recording);

 private:
  using FileId = std::pair<dev_t, ino_t>;
  struct Claim {
    std::string recording;
    FileId file{};
  };

  std::mutex mutex_;
  std::map<FileId, std::string> recordings_;  // each recording file and a name it was given by
  std::map<std::string, Claim> outputs_;      // each output path written, and for which recording
};

}  // namespace pitchtrack::cli
