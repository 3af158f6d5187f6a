#include "fatal_error.h"

#include <cstdio>
#include <cstdlib>

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
  // The process is single-threaded, so the shared buffer of std::localtime is safe here.
  const std::tm* local = std::localtime(&now);
  return local != nullptr ? *local : std::tm{};
}

}  // namespace

void fatalError(const char* message) {
  std::printf("%s\n", message);
  std::fflush(stdout);
  const std::string logName = errorLogName(localNow());
  std::FILE* log = std::fopen(logName.c_str(), "w");
  bool logged = false;
  if (log != nullptr) {
    logged = std::fprintf(log, "%s\n", message) >= 0;
    logged = (std::fclose(log) == 0) && logged;
  }
  if (!logged) std::printf("Error: cannot write error log %s!\n", logName.c_str());
  std::exit(1);
}
