#include "fault.h"

#include <cstdio>

#include "pitchtrack/errors.h"

namespace pitchtrack {

InternalError::InternalError(const std::string& message) : std::runtime_error(message) {}

void fatalError(const char* message) { throw InternalError(message); }

namespace audio_fault {

void unknownCode(const char* pattern, int32_t code, int32_t line) {
  char message[256];
  // The patterns are the fixed texts above, each taking an int, an int and a string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(message, sizeof message, pattern, code, line, kSourcePath);
#pragma GCC diagnostic pop
  fatalError(message);
}

}  // namespace audio_fault

}  // namespace pitchtrack
