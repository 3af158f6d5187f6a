// Runs a shell command line the way a user at a terminal would and keeps what it printed; and
// writes the small text files such commands read.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/run_tool.h"

namespace testsupport {

struct ShellRun {
  int status = -1;  // exit status, or -1 when the shell did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `command` with /bin/sh; its two output streams pass through files in `scratch`.
inline ShellRun runShell(const std::string& command, const std::filesystem::path& scratch) {
  const std::filesystem::path out = scratch / ".shell-out";
  const std::filesystem::path err = scratch / ".shell-err";
  const std::string line = "{ " + command + "\n} > " + shellQuote(out.string()) + " 2> " +
                           shellQuote(err.string()) + " < /dev/null";
  const int raw = std::system(line.c_str());
  ShellRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(out);
  run.err = readFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

// Writes `text` to `path`, replacing it.
inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Whether `program` is found on the PATH.
inline bool haveProgram(const std::string& program) {
  return std::system(("command -v " + shellQuote(program) + " > /dev/null 2>&1").c_str()) == 0;
}

}  // namespace testsupport
