#include "corpus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

#include "analysis_options.h"
#include "blocked_signals.h"
#include "folder_walk.h"
#include "name_list.h"
#include "output_claims.h"
#include "output_file.h"
#include "output_format.h"
#include "recording_list.h"
#include "report.h"

namespace pitchtrack::cli {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Opens the list ("-": standard input, left open); -1 with errno set when it cannot be.
int openList(const std::string& listName) {
  if (listName == "-") return STDIN_FILENO;
  return ::open(listName.c_str(), O_RDONLY | O_CLOEXEC);
}

// Adds the names of the list to `recordings` as they are read; an empty string, or why the list
// could not be read whole.
std::string readList(const CommandLine& line, RecordingList& recordings) {
  const int list = openList(*line.filesFrom);
  if (list < 0) return std::strerror(errno);
  std::string problem;
  try {
    problem = readNameList(list, line.nulSeparated,
                           [&recordings](std::string_view name) { recordings.add(name); });
  } catch (const std::bad_alloc&) {
    problem = "not enough memory for the list of recordings";
  }
  if (list != STDIN_FILENO) ::close(list);
  return problem;
}

// Why a name of the corpus is not a recording to open: a folder, or something that is not a
// regular file (a FIFO would block the run). A name that cannot even be examined is left to the
// reader, which says why.
std::string notARegularFile(const fs::path& name) {
  struct stat status {};
  if (::stat(name.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return "";
  return S_ISDIR(status.st_mode) ? "is a directory" : "not a regular file";
}

// What the workers share: the next recording to take and the running totals.
struct CorpusState {
  CorpusState(const CommandLine& givenLine, const RecordingList& givenRecordings,
              fs::path givenRoot)
      : line(givenLine), recordings(givenRecordings), root(std::move(givenRoot)) {}

  const CommandLine& line;
  const RecordingList& recordings;
  fs::path root;
  OutputClaims claims;
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::atomic<size_t> failed{0};
  std::mutex totalsMutex;
  double audioSeconds = 0;
  std::condition_variable finished;
};

// Writes the contour of `recording` to its place below the output folder; an empty string, or
// the reason it failed.
std::string writeContour(CorpusState& state, const fs::path& recording, const Contour& contour) {
  const fs::path output = outputPathFor(recording, state.root, state.line.outputDirectory,
                                        outputExtension(state.line.format));
  if (std::string refused = state.claims.claim(output.string(), recording.string());
      !refused.empty()) {
    return refused;
  }
  std::error_code error;
  std::string planted = plantedLinkOnTheWay(output.parent_path().string());
  if (planted.empty()) fs::create_directories(output.parent_path(), error);
  const WriteResult written =
      !planted.empty() ? WriteResult{planted}
      : error          ? WriteResult{error.message()}
                       : writeOutputFile(output.string(),
                                         formatOutput(state.line.format, contour, recording.string()));
  if (!written.ok())
    return "cannot write " + printableName(output.string()) + ": " + written.reason;
  return "";
}

// Tracks one recording and writes its result; an empty string, or the reason it failed.
std::string trackAndWrite(CorpusState& state, const fs::path& recording, double& seconds) {
  if (std::string problem = notARegularFile(recording); !problem.empty()) return problem;
  Contour contour;
  try {
    contour = trackFile(recording.string(), analysisOptions(state.line, recording.string()));
  } catch (const WaveError& error) {
    return error.reason();
  } catch (const InternalError& fault) {
    return std::string("internal fault: ") + fault.what();
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  } catch (const std::exception& error) {
    return error.what();
  }
  seconds = contour.recordingSeconds;
  return writeContour(state, recording, contour);
}

// Tracks entry i and reports a failure; nothing escapes, so that a worker never ends the process
// (memory may run out anywhere, even while a name or a reason is copied).
void runEntry(CorpusState& state, size_t i) {
  double seconds = 0;
  std::string recording;
  try {
    recording = state.recordings[i];
    if (const std::string problem = trackAndWrite(state, recording, seconds); !problem.empty()) {
      reportFailure(recording, problem);
      ++state.failed;
    }
  } catch (const std::exception& error) {
    reportFailure(recording, dynamic_cast<const std::bad_alloc*>(&error) != nullptr
                                 ? "not enough memory"
                                 : error.what());
    ++state.failed;
  }
  const std::lock_guard lock(state.totalsMutex);
  state.audioSeconds += seconds;
}

void worker(CorpusState& state) {
  for (size_t i = state.next++; i < state.recordings.size() && !outputFilesStopped();
       i = state.next++) {
    runEntry(state, i);
    if (++state.done == state.recordings.size()) state.finished.notify_all();
  }
}

std::string duration(double seconds) {
  char text[32];
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "%.1f s", seconds);
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds / 60),
                  static_cast<int>(seconds) % 60);
  }
  return text;
}

// "  412/1000 files  0.92 h of audio  3410x real time  0:02 left", redrawn in place.
void drawProgress(CorpusState& state, Clock::time_point start) {
  const size_t done = state.done;
  double audio = 0;
  {
    const std::lock_guard lock(state.totalsMutex);
    audio = state.audioSeconds;
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double left = done == 0 ? 0
                                : elapsed / static_cast<double>(done) *
                                      static_cast<double>(state.recordings.size() - done);
  std::fprintf(stderr, "\r%6zu/%zu files  %.2f h of audio  %.0fx real time  %s left   ", done,
               state.recordings.size(), audio / 3600, elapsed > 0 ? audio / elapsed : 0.0,
               duration(left).c_str());
  std::fflush(stderr);
}

// Why the output folder cannot be used: a link that leads nowhere is named as such, not by the
// "File exists" of the folder that could not be made in its place.
std::string outputDirectoryProblem(const fs::path& folder, const std::error_code& error) {
  std::error_code ignored;
  if (fs::is_symlink(fs::symlink_status(folder, ignored)) && !fs::exists(folder, ignored)) {
    return "a symbolic link to a folder that does not exist";
  }
  return error ? error.message() : "not a directory";
}

// Starts up to `wanted` workers, fewer when the system cannot create more threads; the
// signals that end the run stay blocked in them, so that only the main thread removes the
// temporary files.
std::vector<std::thread> startWorkers(CorpusState& state, unsigned wanted) {
  std::vector<std::thread> pool;
  const SignalsBlocked blocked;
  try {
    pool.reserve(wanted);
    for (unsigned t = 0; t < wanted; ++t) pool.emplace_back(worker, std::ref(state));
  } catch (const std::exception& error) {
    if (!state.line.quiet) {
      reportFailure("-j", "only " + std::to_string(pool.size()) + " of " + std::to_string(wanted) +
                              " threads could be started (" + error.what() + ")");
    }
  }
  return pool;
}

void showProgress(CorpusState& state, Clock::time_point start) {
  std::mutex waitMutex;
  std::unique_lock lock(waitMutex);
  while (state.done < state.recordings.size() && !outputFilesStopped()) {
    drawProgress(state, start);
    state.finished.wait_for(lock, std::chrono::milliseconds(200));
  }
  drawProgress(state, start);
  std::fputc('\n', stderr);
}

// False when not one worker could be started.
bool runWorkers(CorpusState& state, unsigned threads, bool progress) {
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> pool = startWorkers(state, threads);
  if (pool.empty()) return false;
  if (progress) showProgress(state, start);
  for (std::thread& thread : pool) thread.join();
  return true;
}

// The recordings named on the command line and in the list, and their common folder; an empty
// string, or why the list could not be read.
std::string gatherRecordings(const CommandLine& line, RecordingList& recordings,
                             CommonFolder& root) {
  try {
    for (const std::string& name : line.waveFiles) recordings.add(name);
  } catch (const std::bad_alloc&) {
    return "not enough memory for the list of recordings";
  }
  std::string problem = line.filesFrom ? readList(line, recordings) : "";
  if (!problem.empty()) return problem;
  try {
    for (size_t i = 0; i < recordings.size(); ++i) root.add(recordings[i]);
  } catch (const std::bad_alloc&) {
    return "not enough memory for the list of recordings";
  }
  return "";
}

}  // namespace

fs::path commonFolder(const std::vector<fs::path>& recordings) {
  CommonFolder root;
  for (const fs::path& recording : recordings) root.add(recording);
  return root.path();
}

fs::path outputPathFor(const fs::path& recording, const fs::path& root,
                       const fs::path& outputDirectory, const std::string& extension) {
  const fs::path absolute = fs::absolute(recording).lexically_normal();
  fs::path relative = absolute.parent_path().lexically_relative(root);
  if (relative == ".") relative.clear();
  fs::path name = absolute.filename();
  name.replace_extension(extension);
  return outputDirectory / relative / name;
}

int trackCorpus(const CommandLine& line) {
  RecordingList recordings;
  CommonFolder root;
  if (std::string problem = gatherRecordings(line, recordings, root); !problem.empty()) {
    reportFailure(line.filesFrom.value_or("-o"), problem);
    return 1;
  }
  if (std::string planted = plantedLinkOnTheWay(line.outputDirectory); !planted.empty()) {
    reportFailure(line.outputDirectory, planted);
    return 1;
  }
  std::error_code error;
  fs::create_directories(line.outputDirectory, error);
  if (error || !fs::is_directory(line.outputDirectory)) {
    reportFailure(line.outputDirectory, outputDirectoryProblem(line.outputDirectory, error));
    return 1;
  }
  CorpusState state(line, recordings, root.path());
  try {
    for (size_t i = 0; i < recordings.size(); ++i) state.claims.addRecording(recordings[i]);
  } catch (const std::bad_alloc&) {
    reportFailure(line.filesFrom.value_or("-o"), "not enough memory for the list of recordings");
    return 1;
  }
  const unsigned threads =
      line.threads != 0 ? line.threads : std::max(1u, std::thread::hardware_concurrency());
  const Clock::time_point start = Clock::now();
  if (!runWorkers(state, std::min<unsigned>(threads, std::max<size_t>(1, recordings.size())),
                  !line.quiet && ::isatty(STDERR_FILENO) == 1)) {
    reportFailure(line.outputDirectory, "no thread could be started to track the recordings");
    return 1;
  }
  if (!line.quiet) {
    std::fprintf(stderr, "pitchtrack: %zu files, %zu failed, %.2f h of audio, %s\n",
                 recordings.size(), state.failed.load(), state.audioSeconds / 3600,
                 duration(std::chrono::duration<double>(Clock::now() - start).count()).c_str());
  }
  return state.failed == 0 ? 0 : 1;
}

}  // namespace pitchtrack::cli
