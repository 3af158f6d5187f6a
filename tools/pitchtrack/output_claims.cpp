#include "output_claims.h"

#include "report.h"

namespace pitchtrack::cli {

void OutputClaims::addRecording(const std::string& name, const struct stat& status) {
  const std::lock_guard lock(mutex_);
  recordings_.try_emplace(FileId{status.st_dev, status.st_ino}, name);
}

std::string OutputClaims::claim(const std::string& output, const std::string& shown,
                                const std::string& name) {
  const std::lock_guard lock(mutex_);
  const auto [earlier, added] = outputs_.try_emplace(output, name);
  if (added) return "";
  return "its output " + printableName(shown) + " is already the output of " +
         printableName(earlier->second) + ", named earlier in this run; not tracked";
}

std::string OutputClaims::vetoReplacing(const std::string& shown,
                                        const struct stat& existing) const {
  const std::lock_guard lock(mutex_);
  const auto recording = recordings_.find(FileId{existing.st_dev, existing.st_ino});
  if (recording == recordings_.end()) return "";
  return "its output " + printableName(shown) + " is the recording " +
         printableName(recording->second) + " itself; it is left untouched";
}

}  // namespace pitchtrack::cli
