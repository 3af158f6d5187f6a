// Keeps a corpus run from losing a result or a recording. Each name claims its output path when
// it is read, in list order, before any thread sees it: a later name with the same output (a.wav
// and a.WAV both give a.pitch; the same name twice) is refused and the earlier one keeps its
// result, whatever the number of threads. And no result replaces a file that a name of the run
// named as a recording.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace pitchtrack::cli {

class OutputClaims {
 public:
  // Notes that `name` names a recording, the file `status` describes.
  void addRecording(const std::string& name, const struct stat& status);

  // Claims `output` (relative to OUTDIR; `shown` is how messages write it) for `name`: an empty
  // string, or why `name` is refused, naming the earlier name that holds the claim.
  std::string claim(const std::string& output, const std::string& shown, const std::string& name);

  // Why the file `existing`, found at the name of the output `shown`, must not be replaced by it:
  // it is a recording of the run. Empty when it may be replaced.
  std::string vetoReplacing(const std::string& shown, const struct stat& existing) const;

 private:
  using FileId = std::pair<dev_t, ino_t>;

  mutable std::mutex mutex_;
  std::map<FileId, std::string> recordings_;              // each recording and its first name
  std::unordered_map<std::string, std::string> outputs_;  // each output claimed, and by whom
};

}  // namespace pitchtrack::cli
