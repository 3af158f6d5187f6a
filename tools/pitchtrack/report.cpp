#include "report.h"

#include <cstdio>
#include <new>

namespace pitchtrack::cli {

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

}  // namespace pitchtrack::cli
