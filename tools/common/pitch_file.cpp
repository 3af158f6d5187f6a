#include "pitch_file.h"

#include <cstdio>

#include "output_target.h"
#include "replace_file.h"
#include "write_device.h"

namespace pitchtrack {

namespace {

std::string writeToStandardOutput(const std::string& line) {
  if (std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fflush(stdout) == 0) {
    return "";
  }
  return "cannot write to standard output";
}

std::string writeOutput(const std::string& path, const std::string& line) {
  OutputTarget target;
  if (std::string refused = findOutputTarget(path, target); !refused.empty()) return refused;
  switch (target.kind) {
    case OutputTarget::Kind::kStandardOutput:
      return writeToStandardOutput(line);
    case OutputTarget::Kind::kDevice:
      return writeToDevice(target, line);
    case OutputTarget::Kind::kFile:
      break;
  }
  return replaceFile(target.path, line, target.exists ? &target.entry : nullptr);
}

}  // namespace

bool writePitchFile(const std::string& path, const std::string& line, std::string* reason) {
  const std::string failure = writeOutput(path, line);
  if (failure.empty()) return true;
  if (reason != nullptr) *reason = failure;
  return false;
}

}  // namespace pitchtrack
