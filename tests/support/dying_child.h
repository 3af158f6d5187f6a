// Death tests whose child writes files. The child of a death test calls enterScratchDirectory()
// first: it then works in a fresh directory of its own (so the error_*.log files of a fatal
// error never land in the build tree), its standard output goes to standard error (which the
// death-test matcher reads), and when it exits it appends "[file NAME]\n" followed by the
// contents of every regular file it left behind (in name order) to standard error and removes
// the directory. The parent therefore sees the printed message and the written logs in one
// string. A child that ends without exit() (a crash, or a statement that does not die) leaves
// its empty directory behind.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "gtest/gtest.h"

namespace testsupport {

namespace dying_child_detail {

inline char scratchPath[4096];

inline void reportAndRemoveScratch() {
  namespace fs = std::filesystem;
  std::fflush(stdout);  // what the process printed comes before the report
  std::error_code ignored;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(scratchPath, ignored)) {
    if (entry.is_regular_file(ignored)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string contents{std::istreambuf_iterator<char>(in), {}};
    std::fprintf(stderr, "[file %s]\n%s", file.filename().c_str(), contents.c_str());
  }
  fs::current_path(fs::temp_directory_path(), ignored);
  fs::remove_all(scratchPath, ignored);
}

}  // namespace dying_child_detail

// To be called first inside a death-test statement, in the child.
inline void enterScratchDirectory() {
  namespace detail = dying_child_detail;
  std::fflush(stdout);  // output buffered before the switch belongs to the real stdout
  const std::string pattern =
      (std::filesystem::temp_directory_path() / "pitchtrack-death-XXXXXX").string();
  if (pattern.size() >= sizeof detail::scratchPath) std::_Exit(98);
  std::copy(pattern.begin(), pattern.end(), detail::scratchPath);
  detail::scratchPath[pattern.size()] = '\0';
  if (mkdtemp(detail::scratchPath) == nullptr || chdir(detail::scratchPath) != 0 ||
      dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::_Exit(99);
  }
  std::atexit(detail::reportAndRemoveScratch);
}

// `text` as a POSIX extended regular expression that matches exactly that text.
inline std::string literalRegex(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (std::string_view(".[]{}()\\*+?^$|").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

// What the child of a death test reports after fatalError(message): the message printed, then
// exactly one log file with a time-stamped name holding the message.
inline testing::Matcher<const std::string&> fatalErrorReport(std::string_view message) {
  const std::string line = literalRegex(message) + "\n";
  return testing::MatchesRegex(line + "\\[file error_[0-9]{8}_[0-9]{6}\\.log\\]\n" + line);
}

}  // namespace testsupport
