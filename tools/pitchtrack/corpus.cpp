#include "corpus.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

#include "analysis_options.h"
#include "output_file.h"
#include "output_format.h"
#include "report.h"

namespace pitchtrack::cli {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The names of a list, one per line or ended by NUL; empty names are skipped.
bool readList(const std::string& listName, bool nulSeparated, std::vector<fs::path>& names) {
  std::ifstream file;
  if (listName != "-") {
    file.open(listName, std::ios::binary);
    if (!file) return false;
  }
  std::istream& in = listName == "-" ? std::cin : file;
  const char separator = nulSeparated ? '\0' : '\n';
  for (std::string name; std::getline(in, name, separator);) {
    if (!nulSeparated && name.ends_with('\r')) name.pop_back();
    if (!name.empty()) names.emplace_back(name);
  }
  return !in.bad();
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
  CorpusState(const CommandLine& givenLine, const std::vector<fs::path>& givenRecordings)
      : line(givenLine), recordings(givenRecordings), root(commonFolder(givenRecordings)) {}

  const CommandLine& line;
  const std::vector<fs::path>& recordings;
  fs::path root;
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::atomic<size_t> failed{0};
  std::mutex totalsMutex;
  double audioSeconds = 0;
  std::condition_variable finished;
};

// Writes the contour of `recording` to its place below the output folder; an empty string, or
// the reason it failed.
std::string writeContour(const CorpusState& state, const fs::path& recording,
                         const Contour& contour) {
  const fs::path output = outputPathFor(recording, state.root, state.line.outputDirectory,
                                        outputExtension(state.line.format));
  std::error_code error;
  fs::create_directories(output.parent_path(), error);
  const WriteResult written =
      error ? WriteResult{error.message()}
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

void worker(CorpusState& state) {
  for (size_t i = state.next++; i < state.recordings.size(); i = state.next++) {
    double seconds = 0;
    const std::string problem = trackAndWrite(state, state.recordings[i], seconds);
    if (!problem.empty()) {
      reportFailure(state.recordings[i].string(), problem);
      ++state.failed;
    }
    {
      const std::lock_guard lock(state.totalsMutex);
      state.audioSeconds += seconds;
    }
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

void runWorkers(CorpusState& state, unsigned threads, bool showProgress) {
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker, std::ref(state));
  if (showProgress) {
    std::mutex waitMutex;
    std::unique_lock lock(waitMutex);
    while (state.done < state.recordings.size()) {
      drawProgress(state, start);
      state.finished.wait_for(lock, std::chrono::milliseconds(200));
    }
    drawProgress(state, start);
    std::fputc('\n', stderr);
  }
  for (std::thread& thread : pool) thread.join();
}

}  // namespace

fs::path commonFolder(const std::vector<fs::path>& recordings) {
  fs::path root;
  bool first = true;
  for (const fs::path& recording : recordings) {
    const fs::path folder = fs::absolute(recording).lexically_normal().parent_path();
    if (first) {
      root = folder;
      first = false;
      continue;
    }
    fs::path shared;
    auto a = root.begin();
    auto b = folder.begin();
    for (; a != root.end() && b != folder.end() && *a == *b; ++a, ++b) shared /= *a;
    root = shared;
  }
  return root;
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
  std::vector<fs::path> recordings(line.waveFiles.begin(), line.waveFiles.end());
  if (line.filesFrom && !readList(*line.filesFrom, line.nulSeparated, recordings)) {
    reportFailure(*line.filesFrom, std::strerror(errno));
    return 1;
  }
  std::error_code error;
  fs::create_directories(line.outputDirectory, error);
  if (error || !fs::is_directory(line.outputDirectory)) {
    reportFailure(line.outputDirectory, error ? error.message() : "not a directory");
    return 1;
  }
  CorpusState state(line, recordings);
  const unsigned threads =
      line.threads != 0 ? line.threads : std::max(1u, std::thread::hardware_concurrency());
  const Clock::time_point start = Clock::now();
  runWorkers(state, std::min<unsigned>(threads, std::max<size_t>(1, recordings.size())),
             !line.quiet && ::isatty(STDERR_FILENO) == 1);
  if (!line.quiet) {
    std::fprintf(stderr, "pitchtrack: %zu files, %zu failed, %.2f h of audio, %s\n",
                 recordings.size(), state.failed.load(), state.audioSeconds / 3600,
                 duration(std::chrono::duration<double>(Clock::now() - start).count()).c_str());
  }
  return state.failed == 0 ? 0 : 1;
}

}  // namespace pitchtrack::cli
