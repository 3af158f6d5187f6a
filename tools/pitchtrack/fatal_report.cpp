#include "fatal_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

namespace pitchtrack {

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

// A name taken by an earlier fault of the same second, or by anything planted there, moves the
// log to error_..._2.log, _3 and on; the first free one of these is used.
constexpr int kMaxLogNames = 100;

std::string numberedLogName(const std::string& logName, int number) {
  if (number == 1) return logName;
  const std::string stem = logName.substr(0, logName.size() - 4);  // without ".log"
  return stem + "_" + std::to_string(number) + ".log";
}

// Creates a log that did not exist before: never through a link, never over another file.
int createErrorLog(const std::string& logName) {
  for (int number = 1; number <= kMaxLogNames; ++number) {
    const int fd = ::open(numberedLogName(logName, number).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeWhole(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

bool writeErrorLog(const std::string& logName, const char* message) {
  const int log = createErrorLog(logName);
  if (log < 0) return false;
  const bool written = writeWhole(log, std::string(message) + "\n");
  return (::close(log) == 0) && written;
}

// The one fault that is printed without a log.
bool needsErrorLog(const InternalError& fault) {
  return std::string_view(fault.what()) != "Unsupported order!";
}

}  // namespace

int reportFatalError(const InternalError& fault, std::FILE* lines) {
  std::fprintf(lines, "%s\n", fault.what());
  std::fflush(lines);
  if (needsErrorLog(fault)) {
    const std::string logName = errorLogName(localNow());
    if (!writeErrorLog(logName, fault.what())) {
      std::fprintf(lines, "Error: cannot write error log %s!\n", logName.c_str());
    }
  }
  return 1;
}

}  // namespace pitchtrack
