#include "corpus.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "corpus_run.h"
#include "folder_walk.h"
#include "name_list.h"
#include "output_claims.h"
#include "output_format.h"
#include "output_naming.h"
#include "recording_walk.h"
#include "report.h"

namespace pitchtrack::cli {

namespace {

constexpr char kOutOfMemory[] =
    "not enough memory for the output paths of the names read; the rest is not tracked";

// Takes the names of a corpus in list order as they arrive, on the thread that reads them: each
// claims its output path (or is refused) before any tracker sees it, so that what is written
// never depends on the number of threads. The trackers start with the first name.
class NameIntake {
 public:
  NameIntake(const CommandLine& line, OpenFolder outputFolder)
      : line_(line),
        naming_(line.base, outputExtension(line.format)),
        outputFolder_(std::move(outputFolder)) {}

  // A name of the command line or of the list; a folder is walked with -r.
  void take(const std::string& name) {
    struct stat status {};
    const bool examined = ::stat(name.c_str(), &status) == 0;
    if (examined && S_ISDIR(status.st_mode)) {
      takeFolder(name);
      return;
    }
    if (examined && S_ISREG(status.st_mode)) claims_.addRecording(name, status);
    std::string output;
    std::string refused = naming_.outputOf(name, output);
    if (refused.empty()) refused = claims_.claim(output, run().shownOutput(output), name);
    if (refused.empty()) {
      run().track({name, output});
    } else {
      run().refuse(name, refused);
    }
  }

  // The recordings of the command line are known before any is tracked: none of them is replaced
  // by the output of another, whatever the order.
  void noteRecordings(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      struct stat status {};
      if (::stat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        claims_.addRecording(name, status);
      }
    }
  }

  // A problem that stopped the intake of a started run (the list, memory), counted as a failure.
  void stop(const std::string& name, const char* reason) noexcept { run_->fail(name, reason); }

  bool started() const { return run_ != nullptr && !startFailed_; }
  bool failedToStart() const { return startFailed_; }
  int finish() { return run().finish(); }

 private:
  void takeFolder(const std::string& name) {
    if (!line_.recursive) {
      run().refuse(name, "is a directory (-r searches folders for recordings)");
      return;
    }
    walkRecordings(
        name, [this](const std::string& recording) { take(recording); },
        [this](const std::string& folder, const std::string& reason) {
          run().fail(folder, reason);
        });
  }

  // The run, started with the first name.
  CorpusRun& run() {
    if (run_ == nullptr) {
      run_ = std::make_unique<CorpusRun>(line_, std::move(outputFolder_), claims_);
      const unsigned threads =
          line_.threads != 0 ? line_.threads : std::max(1u, std::thread::hardware_concurrency());
      if (!run_->start(threads)) {
        startFailed_ = true;
        throw std::runtime_error("no thread could be started to track the recordings");
      }
    }
    return *run_;
  }

  const CommandLine& line_;
  OutputNaming naming_;
  OpenFolder outputFolder_;
  OutputClaims claims_;
  std::unique_ptr<CorpusRun> run_;
  bool startFailed_ = false;
};

// Each recording's buffers are freed when it is done and the next one asks for the same again:
// the allocator keeps up to 64 MB of freed memory per thread instead of giving it back at once,
// and takes buffers up to 16 MB from it, so the pages are not faulted in and cleared again for
// every file (about 64 faults a recording of 8 s, a third of the run's system time).
void keepFreedMemoryForTheNextRecording() {
  ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
  ::mallopt(M_MMAP_THRESHOLD, 16 << 20);
}

// Opens the list ("-": standard input, left open); -1 with errno set when it cannot be.
int openList(const std::string& listName) {
  if (listName == "-") return STDIN_FILENO;
  return ::open(listName.c_str(), O_RDONLY | O_CLOEXEC);
}

// Takes the names of the list as they are read; an empty string, or why the list could not be
// read to its end.
std::string readList(int list, const CommandLine& line, NameIntake& intake) {
  return readNameList(list, line.nulSeparated,
                      [&intake](std::string_view name) { intake.take(std::string(name)); });
}

// Takes every name: the operands, then the list; an empty string, or why the list could not be
// read to its end.
std::string takeNames(const CommandLine& line, int list, NameIntake& intake) {
  intake.noteRecordings(line.waveFiles);
  for (const std::string& name : line.waveFiles) intake.take(name);
  return list >= 0 ? readList(list, line, intake) : "";
}

}  // namespace

int trackCorpus(const CommandLine& line) {
  const int list = line.filesFrom ? openList(*line.filesFrom) : -1;
  const std::string listName = line.filesFrom.value_or("-o");
  if (line.filesFrom && list < 0) {
    reportFailure(listName, std::strerror(errno));
    return 1;
  }
  OpenFolder outputFolder;
  if (std::string problem =
          walkToFolder(nullptr, line.outputDirectory, MissingFolders::kCreate, outputFolder);
      !problem.empty()) {
    reportFailure(line.outputDirectory, problem);
    return 1;
  }
  keepFreedMemoryForTheNextRecording();
  NameIntake intake(line, std::move(outputFolder));
  std::string listProblem;
  const char* stopped = nullptr;  // why the intake stopped before the list's end
  try {
    listProblem = takeNames(line, list, intake);
  } catch (const std::bad_alloc&) {
    stopped = kOutOfMemory;
  } catch (const std::runtime_error&) {
    if (!intake.failedToStart()) throw;
  }
  if (list > STDIN_FILENO) ::close(list);
  if (intake.failedToStart()) {
    reportFailure(line.outputDirectory, "no thread could be started to track the recordings");
    return 1;
  }
  if (stopped == nullptr && !listProblem.empty()) stopped = listProblem.c_str();
  if (stopped != nullptr && !intake.started()) {
    reportFailure(listName, stopped);
    return 1;
  }
  if (stopped != nullptr) intake.stop(listName, stopped);
  return intake.finish();
}

}  // namespace pitchtrack::cli
