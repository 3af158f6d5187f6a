#include "fatal_error.h"

#include <cstdio>

namespace pitchtrack {

InternalError::InternalError(const std::string& message, bool logged)
    : std::runtime_error(message), logged_(logged) {}

void fatalError(const char* message) { throw InternalError(message); }

void fatalErrorUnlogged(const char* message) { throw InternalError(message, false); }

std::string errorLogName(const std::tm& localTime) {
  char name[100];
  std::snprintf(name, sizeof name, "error_%4d%02d%02d_%02d%02d%02d.log", localTime.tm_year + 1900,
                localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                localTime.tm_sec);
  return name;
}

namespace {

std::tm localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return std::tm{};
  return local;
}

bool writeErrorLog(const std::string& logName, const char* message) {
  std::FILE* log = std::fopen(logName.c_str(), "w");
  if (log == nullptr) return false;
  const bool written = std::fprintf(log, "%s\n", message) >= 0;
  return (std::fclose(log) == 0) && written;
}

}  // namespace

int reportFatalError(const InternalError& fault) {
  std::printf("%s\n", fault.what());
  std::fflush(stdout);
  if (fault.logged()) {
    const std::string logName = errorLogName(localNow());
    if (!writeErrorLog(logName, fault.what())) {
      std::printf("Error: cannot write error log %s!\n", logName.c_str());
    }
  }
  return 1;
}

}  // namespace pitchtrack
