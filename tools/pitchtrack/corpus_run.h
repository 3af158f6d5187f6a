// The tracking side of a corpus run: a pool of threads that track the names handed to it, a
// thread that makes their results durable in batches (staged_outputs.h), the progress line on a
// terminal, and the totals of the summary.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "command_line.h"
#include "output_claims.h"
#include "staged_outputs.h"
#include "work_queue.h"

namespace pitchtrack::cli {

// A name to track and its output path, relative to OUTDIR, claimed for it.
struct CorpusEntry {
  std::string name;
  std::string output;
};

class CorpusRun {
 public:
  CorpusRun(const CommandLine& line, OpenFolder outputFolder, const OutputClaims& claims);
  ~CorpusRun();
  CorpusRun(const CorpusRun&) = delete;
  CorpusRun& operator=(const CorpusRun&) = delete;

  // Starts the threads: the committer, the first tracker (the others, up to `threads`, start as
  // names come; fewer when the system cannot create more, which is said unless -q), and the
  // progress line when standard error is a terminal. False when the committer or the first
  // tracker could not be started.
  bool start(unsigned threads);
  bool started() const { return !workers_.empty(); }

  // A name of the run, in list order: tracked (waiting while the trackers are busy), or refused
  // with `reason`, which counts as a failure.
  void track(CorpusEntry entry);
  void refuse(const std::string& name, const std::string& reason);
  // Reports a problem that is not a name's (a folder that cannot be walked, a list that cannot be
  // read to its end) and counts it as a failure.
  void fail(const std::string& name, const std::string& reason) noexcept;
  void fail(const std::string& name, const char* reason) noexcept;

  // The names have all come: waits for the trackers, commits the last batch, prints the summary
  // unless -q, and returns the exit status (0 when every name was tracked and written).
  int finish();

  // How a message writes an output path: below OUTDIR as it was given.
  std::string shownOutput(const std::string& output) const;

 private:
  using Clock = std::chrono::steady_clock;

  void work();
  void trackEntry(const CorpusEntry& entry);
  std::string trackAndStage(const CorpusEntry& entry, double& seconds);
  void waitForRoom();
  void commitLoop();
  void commitBatch();
  void showProgress();
  void drawProgress();
  bool startTracker();
  void announce(std::atomic<bool>& flag);

  const CommandLine& line_;
  const OutputClaims& claims_;
  StagedOutputs staged_;
  WorkQueue<CorpusEntry> queue_;
  std::vector<std::thread> workers_;
  unsigned wantedTrackers_ = 1;
  std::thread committer_;
  std::thread progress_;
  const Clock::time_point start_ = Clock::now();

  std::atomic<size_t> named_{0};     // names taken, refused ones included
  std::atomic<size_t> finished_{0};  // names tracked or refused
  std::atomic<size_t> failed_{0};
  std::mutex totalsMutex_;
  double audioSeconds_ = 0;

  std::mutex wakeMutex_;  // with `wake_`: the committer's and the progress line's waits
  std::condition_variable wake_;
  std::atomic<bool> namesEnded_{false};
  std::atomic<bool> trackersDone_{false};
  std::atomic<bool> committerDone_{false};
};

}  // namespace pitchtrack::cli
