#include "recording_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::cli {

namespace {

using RecordingSink = std::function<void(const std::string& name)>;
using ProblemSink = std::function<void(const std::string& folder, const std::string& reason)>;

constexpr std::array<std::string_view, 2> kWaveExtensions = {"wav", "wave"};
constexpr std::array<std::string_view, 14> kSoundFileExtensions = {
    "flac", "ogg", "oga", "opus", "mp3", "aif",  "aiff",
    "aifc", "caf", "au",  "snd",  "w64", "rf64", "bw64"};

bool sameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

template <size_t N>
bool listed(std::string_view extension, const std::array<std::string_view, N>& list) {
  return std::any_of(list.begin(), list.end(),
                     [extension](std::string_view known) { return sameLetters(extension, known); });
}

// The names in the folder open as `folder`, "." and ".." left out, in byte order.
std::vector<std::string> sortedEntries(int folder, std::string& problem) {
  std::vector<std::string> names;
  const int listing = ::dup(folder);
  DIR* stream = listing >= 0 ? ::fdopendir(listing) : nullptr;
  if (stream == nullptr) {
    problem = std::strerror(errno);
    if (listing >= 0) ::close(listing);
    return names;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(stream)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  if (errno != 0) problem = std::strerror(errno);
  ::closedir(stream);
  std::sort(names.begin(), names.end());
  return names;
}

void walkFolder(int folder, const std::string& prefix, const RecordingSink& recording,
                const ProblemSink& unreadable);

// One entry of a folder: a subfolder is walked at its place, a recording handed on; links and
// anything else are passed by.
void visit(int folder, const std::string& name, const std::string& prefix,
           const RecordingSink& recording, const ProblemSink& unreadable) {
  struct stat entry {};
  if (::fstatat(folder, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) return;  // gone since
  if (S_ISREG(entry.st_mode) && hasRecordingExtension(name)) recording(prefix + name);
  if (!S_ISDIR(entry.st_mode)) return;
  const int sub = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (sub < 0) {
    unreadable(prefix + name, std::strerror(errno));
    return;
  }
  walkFolder(sub, prefix + name + "/", recording, unreadable);
  ::close(sub);
}

void walkFolder(int folder, const std::string& prefix, const RecordingSink& recording,
                const ProblemSink& unreadable) {
  std::string problem;
  const std::vector<std::string> names = sortedEntries(folder, problem);
  if (!problem.empty()) unreadable(prefix.substr(0, prefix.size() - 1), problem);
  for (const std::string& name : names) visit(folder, name, prefix, recording, unreadable);
}

}  // namespace

bool hasRecordingExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view extension = name.substr(dot + 1);
  if (listed(extension, kWaveExtensions)) return true;
  static const bool soundFile = !soundFileLibraryVersion().empty();
  return soundFile && listed(extension, kSoundFileExtensions);
}

void walkRecordings(const std::string& root, const RecordingSink& recording,
                    const ProblemSink& unreadable) {
  const int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    unreadable(root, std::strerror(errno));
    return;
  }
  const std::string prefix = root.ends_with('/') ? root : root + "/";
  walkFolder(folder, prefix, recording, unreadable);
  ::close(folder);
}

}  // namespace pitchtrack::cli
