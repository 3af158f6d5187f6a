#include "corpus_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "analysis_options.h"
#include "blocked_signals.h"
#include "output_format.h"
#include "report.h"

namespace pitchtrack::cli {

namespace {

// A batch of results is committed (flushed, renamed into place, flushed again) when it holds this
// many files or spans this many folders, or this long after its first file; workers wait while
// twice as many files are pending.
constexpr size_t kBatchFiles = 1024;
constexpr size_t kBatchFolders = 256;
constexpr auto kBatchAge = std::chrono::seconds(1);
constexpr size_t kMaxPendingFiles = 2 * kBatchFiles;
constexpr auto kTick = std::chrono::milliseconds(100);
// Names read ahead of the trackers.
constexpr size_t kQueuedNames = 256;

// Why a name of the corpus is not a recording to open: something that is not a regular file (a
// FIFO would block the run). A name that cannot even be examined is left to the reader, which
// says why.
std::string notARegularFile(const std::string& name) {
  struct stat status {};
  if (::stat(name.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return "";
  return S_ISDIR(status.st_mode) ? "is a directory" : "not a regular file";
}

// "3.4 s", or "2:05" from a minute on; no memory is taken, so the progress line and the summary
// are written when memory has run out.
std::array<char, 32> duration(double seconds) {
  std::array<char, 32> text{};
  if (seconds < 60) {
    std::snprintf(text.data(), text.size(), "%.1f s", seconds);
  } else {
    std::snprintf(text.data(), text.size(), "%d:%02d", static_cast<int>(seconds / 60),
                  static_cast<int>(seconds) % 60);
  }
  return text;
}

}  // namespace

CorpusRun::CorpusRun(const CommandLine& line, OpenFolder outputFolder, const OutputClaims& claims)
    : line_(line), claims_(claims), staged_(std::move(outputFolder)), queue_(kQueuedNames) {}

CorpusRun::~CorpusRun() {
  // A run left without finish() still ends its threads.
  if (committer_.joinable()) finish();
}

std::string CorpusRun::shownOutput(const std::string& output) const {
  return line_.outputDirectory + (line_.outputDirectory.ends_with('/') ? "" : "/") + output;
}

// ---------------------------------------------------------------------------------------------
// Threads.

// The signals that end the run stay blocked in every thread started here, so that only the main
// thread removes the temporary files.
bool CorpusRun::startTracker() {
  const SignalsBlocked blocked;
  try {
    workers_.reserve(wantedTrackers_);
    workers_.emplace_back(&CorpusRun::work, this);
    return true;
  } catch (const std::exception& error) {
    if (!line_.quiet && !workers_.empty()) {
      reportFailure("-j", "only " + std::to_string(workers_.size()) + " of " +
                              std::to_string(wantedTrackers_) + " threads could be started (" +
                              error.what() + ")");
    }
    wantedTrackers_ = static_cast<unsigned>(workers_.size());  // no more attempts
    return false;
  }
}

bool CorpusRun::start(unsigned threads) {
  wantedTrackers_ = threads;
  {
    const SignalsBlocked blocked;
    try {
      committer_ = std::thread(&CorpusRun::commitLoop, this);
    } catch (const std::exception&) {
      return false;
    }
  }
  if (!startTracker()) {
    announce(trackersDone_);
    committer_.join();
    return false;
  }
  if (!line_.quiet && ::isatty(STDERR_FILENO) == 1) {
    const SignalsBlocked blocked;
    try {
      progress_ = std::thread(&CorpusRun::showProgress, this);
    } catch (const std::exception&) {
      // The run goes on without its progress line.
    }
  }
  return true;
}

// Sets `flag` under the waits' lock, so that no wait misses it, and wakes the waiting threads.
void CorpusRun::announce(std::atomic<bool>& flag) {
  {
    const std::lock_guard lock(wakeMutex_);
    flag = true;
  }
  wake_.notify_all();
}

int CorpusRun::finish() {
  namesEnded_ = true;
  queue_.close();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
  announce(trackersDone_);
  if (committer_.joinable()) committer_.join();
  announce(committerDone_);
  if (progress_.joinable()) progress_.join();
  if (!line_.quiet) {
    std::fprintf(stderr, "pitchtrack: %zu files, %zu failed, %.2f h of audio, %s\n", named_.load(),
                 failed_.load(), audioSeconds_ / 3600,
                 duration(std::chrono::duration<double>(Clock::now() - start_).count()).data());
  }
  return failed_ == 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Names.

// The trackers start as names come, up to -j of them, so that a short list never starts more
// threads than it has names.
void CorpusRun::track(CorpusEntry entry) {
  ++named_;
  if (workers_.size() < wantedTrackers_ && workers_.size() < named_) startTracker();
  queue_.push(std::move(entry));
}

void CorpusRun::refuse(const std::string& name, const std::string& reason) {
  ++named_;
  fail(name, reason);
  ++finished_;
}

void CorpusRun::fail(const std::string& name, const std::string& reason) noexcept {
  fail(name, reason.c_str());
}

void CorpusRun::fail(const std::string& name, const char* reason) noexcept {
  reportFailure(name, reason);
  ++failed_;
}

// ---------------------------------------------------------------------------------------------
// Tracking.

void CorpusRun::work() {
  while (std::optional<CorpusEntry> entry = queue_.pop()) {
    if (!outputFilesStopped()) trackEntry(*entry);
    ++finished_;
  }
}

// Nothing escapes, so that a tracker never ends the process (memory may run out anywhere, even
// while a reason is made).
void CorpusRun::trackEntry(const CorpusEntry& entry) {
  double seconds = 0;
  try {
    if (const std::string problem = trackAndStage(entry, seconds); !problem.empty()) {
      fail(entry.name, problem);
    }
  } catch (const std::exception& error) {
    fail(entry.name, dynamic_cast<const std::bad_alloc*>(&error) != nullptr ? "not enough memory"
                                                                            : error.what());
  }
  const std::lock_guard lock(totalsMutex_);
  audioSeconds_ += seconds;
}

// Tracks one recording and writes its result to a temporary file for the next commit; an empty
// string, or the reason it failed.
std::string CorpusRun::trackAndStage(const CorpusEntry& entry, double& seconds) {
  if (std::string problem = notARegularFile(entry.name); !problem.empty()) return problem;
  Contour contour;
  try {
    contour = trackFile(entry.name, analysisOptions(line_, entry.name));
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
  waitForRoom();
  const WriteResult written =
      staged_.stage(entry.output, formatOutput(line_.format, contour, entry.name), entry.name);
  if (!written.ok())
    return "cannot write " + printableName(shownOutput(entry.output)) + ": " + written.reason;
  if (staged_.pendingFiles() >= kBatchFiles) wake_.notify_all();
  return "";
}

// Holds a tracker back while a slow disk lets results pile up faster than they are committed.
void CorpusRun::waitForRoom() {
  while (staged_.pendingFiles() >= kMaxPendingFiles) {
    wake_.notify_all();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// ---------------------------------------------------------------------------------------------
// Durability: the committer thread.

void CorpusRun::commitLoop() {
  std::optional<Clock::time_point> batchStart;
  for (;;) {
    {
      std::unique_lock lock(wakeMutex_);
      wake_.wait_for(lock, kTick,
                     [this] { return trackersDone_ || staged_.pendingFiles() >= kBatchFiles; });
    }
    const size_t files = staged_.pendingFiles();
    if (files == 0) {
      if (trackersDone_) return;
      batchStart.reset();
      continue;
    }
    if (!batchStart) batchStart = Clock::now();
    if (trackersDone_ || files >= kBatchFiles || staged_.pendingFolders() >= kBatchFolders ||
        Clock::now() - *batchStart >= kBatchAge) {
      commitBatch();  // never throws: every failure is reported as it is met
      batchStart.reset();
    }
  }
}

void CorpusRun::commitBatch() {
  const StagedOutputs::Veto veto = [this](const std::string& output, const struct stat& existing) {
    return claims_.vetoReplacing(shownOutput(output), existing);
  };
  staged_.commit(veto, [this](const std::string& owner, const std::string& output,
                              const char* reason, bool vetoed) {
    try {
      if (!vetoed) {
        fail(owner, "cannot write " + printableName(shownOutput(output)) + ": " + reason);
        return;
      }
    } catch (const std::bad_alloc&) {
      // Without memory for the whole sentence, the reason alone.
    }
    fail(owner, reason);
  });
}

// ---------------------------------------------------------------------------------------------
// The progress line.

// "  412/1000 files  0.92 h of audio  3410x real time  0:02 left", redrawn in place; the total
// carries a "+" while names are still coming.
void CorpusRun::drawProgress() {
  const size_t done = finished_;
  const size_t total = named_;
  double audio = 0;
  {
    const std::lock_guard lock(totalsMutex_);
    audio = audioSeconds_;
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  const double left =
      done == 0 ? 0 : elapsed / static_cast<double>(done) * static_cast<double>(total - done);
  char text[160];
  std::snprintf(text, sizeof text, "%6zu/%zu%s files  %.2f h of audio  %.0fx real time  %s left",
                done, total, namesEnded_ ? "" : "+", audio / 3600,
                elapsed > 0 ? audio / elapsed : 0.0, duration(left).data());
  drawStatusLine(text);
}

void CorpusRun::showProgress() {
  while (!committerDone_) {
    drawProgress();
    std::unique_lock lock(wakeMutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return committerDone_.load(); });
  }
  drawProgress();
  endStatusLine();
}

}  // namespace pitchtrack::cli
