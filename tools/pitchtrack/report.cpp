#include "report.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

namespace pitchtrack::cli {

namespace {

// Standard error is shared by the threads of a corpus run and its status line.
std::mutex errorStream;
size_t statusWidth = 0;  // the characters of the status line on the screen, 0 when none

// Blanks the status line and returns the cursor to its start.
void clearStatusLine() {
  if (statusWidth == 0) return;
  std::fputc('\r', stderr);
  for (size_t i = 0; i < statusWidth; ++i) std::fputc(' ', stderr);
  std::fputc('\r', stderr);
  statusWidth = 0;
}

}  // namespace

std::string printableName(const std::string& name) {
  std::string out;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

// Without memory for the escaped name, the name goes out as it is.
void reportFailure(const std::string& file, const char* reason) noexcept {
  const std::lock_guard lock(errorStream);
  clearStatusLine();
  try {
    const std::string line = "pitchtrack: " + printableName(file) + ": " + reason + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "pitchtrack: %s: %s\n", file.c_str(), reason);
  }
}

void reportFailure(const std::string& file, const std::string& reason) noexcept {
  reportFailure(file, reason.c_str());
}

void drawStatusLine(const char* text) noexcept {
  const std::lock_guard lock(errorStream);
  clearStatusLine();
  std::fputs(text, stderr);
  std::fflush(stderr);
  statusWidth = std::strlen(text);
}

void endStatusLine() noexcept {
  const std::lock_guard lock(errorStream);
  if (statusWidth == 0) return;
  std::fputc('\n', stderr);
  std::fflush(stderr);
  statusWidth = 0;
}

}  // namespace pitchtrack::cli
