#include "report.h"

#include <cstdio>

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

void reportFailure(const std::string& file, const std::string& reason) {
  const std::string line = "pitchtrack: " + printableName(file) + ": " + reason + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace pitchtrack::cli
