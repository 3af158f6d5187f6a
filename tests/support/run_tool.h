// Runs the built pitchtrack binary the way a user would, inside a working directory, and
// captures its exit status, standard output and standard error.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

struct ToolRun {
  int status = -1;     // exit status, or -1 when the process did not exit normally
  std::string output;  // everything the tool wrote to standard output
  std::string error;   // everything the tool wrote to standard error
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::string shellQuote(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// `arguments` is appended to the command line as it stands (quote paths with shellQuote).
// `prefix` runs before the tool in the same shell (for example "ulimit -v 524288;").
inline ToolRun runTool(const std::filesystem::path& workDir, const std::string& arguments,
                       const std::string& prefix = "", const std::string& tool = PITCHTRACK_BIN) {
  const std::filesystem::path captured = workDir / ".stdout";
  const std::filesystem::path capturedError = workDir / ".stderr";
  const std::string command = "cd " + shellQuote(workDir.string()) + " && " + prefix + " " +
                              shellQuote(tool) + " " + arguments + " > " +
                              shellQuote(captured.string()) + " 2> " +
                              shellQuote(capturedError.string());
  const int raw = std::system(command.c_str());
  ToolRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.output = readFile(captured);
  run.error = readFile(capturedError);
  std::filesystem::remove(captured);
  std::filesystem::remove(capturedError);
  return run;
}

}  // namespace testsupport
