#include "output_claims.h"

#include <sys/stat.h>

#include <filesystem>

#include "report.h"

namespace pitchtrack::cli {

namespace {

bool identify(const std::string& path, std::pair<dev_t, ino_t>& id) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  id = {status.st_dev, status.st_ino};
  return true;
}

// One spelling per output, whatever the path's dots and doubled slashes.
std::string canonical(const std::string& output) {
  return std::filesystem::absolute(output).lexically_normal().string();
}

}  // namespace

void OutputClaims::addRecording(const std::string& recording) {
  FileId id;
  if (!identify(recording, id)) return;
  const std::lock_guard lock(mutex_);
  recordings_.try_emplace(id, recording);
}

std::string OutputClaims::claim(const std::string& output, const std::string& recording) {
  FileId outputId;
  const bool exists = identify(output, outputId);
  FileId recordingId;
  identify(recording, recordingId);
  const std::lock_guard lock(mutex_);
  if (exists) {
    if (const auto input = recordings_.find(outputId); input != recordings_.end()) {
      return "its output " + printableName(output) + " is the recording " +
             printableName(input->second) + " itself; it is left untouched";
    }
  }
  const auto [earlier, added] =
      outputs_.try_emplace(canonical(output), Claim{recording, recordingId});
  // The same recording named twice gives the same result: nothing is lost.
  if (added || earlier->second.file == recordingId) return "";
  return "its output " + printableName(output) + " is also the output of " +
         printableName(earlier->second.recording) + " in this run; this result is not written";
}

}  // namespace pitchtrack::cli
