// The results of a corpus run, made durable in batches. Each result is written at once to a
// temporary file beside its final name, without a flush of its own; commit() flushes the file
// systems that hold the batch (syncfs), renames every file of it into place, and flushes them
// again. So a final name only ever holds a complete result, flushed before it got that name, and
// a run pays two flushes per batch instead of two per file.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "folder_walk.h"
#include "output_file.h"
#include "temporary_file.h"

namespace pitchtrack {

class StagedOutputs {
 public:
  // The outputs go below `base` (an open folder: -o OUTDIR).
  explicit StagedOutputs(OpenFolder base) : base_(std::move(base)) {}

  // Walks `relativePath` below the base folder, creating its missing folders, with the rules of
  // writeOutputFile (links followed one by one, planted links and FIFOs refused); then a regular
  // file or a new name gets a temporary file holding `text`, renamed by the next commit(), and a
  // FIFO or device is written in place at once. `owner` names the result in commit's failures.
  // Safe to call from several threads.
  WriteResult stage(const std::string& relativePath, const std::string& text,
                    const std::string& owner);

  // The files staged and not committed yet, and the folders they are in (a batch holds one
  // descriptor per folder).
  size_t pendingFiles() const;
  size_t pendingFolders() const;

  // Why the file `existing`, now at the final name of the output `path`, must not be replaced
  // (empty: it may be).
  using Veto = std::function<std::string(const std::string& path, const struct stat& existing)>;
  // Receives a file that could not be committed: its owner, its path (relative to the base
  // folder) and why; `vetoed` when the reason is the veto's, not a failed write. Must not throw.
  using FailureSink = std::function<void(const std::string& owner, const std::string& path,
                                         const char* reason, bool vetoed)>;

  // Commits every file staged so far; each that fails goes to `failed`, and the others are at
  // their final names and on the disk. A failed file's temporary file is removed, and its final
  // name keeps what it held. Every staged file ends in one of the two, even when memory runs
  // out. Commits run one at a time; staging goes on meanwhile.
  void commit(const Veto& veto, const FailureSink& failed);

 private:
  struct Staged {
    std::shared_ptr<OpenFolder> folder;
    std::unique_ptr<TemporaryFile> temporary;
    std::string name;  // in `folder`
    std::string path;
    std::string owner;
  };
  struct Batch {
    std::vector<Staged> files;
    std::map<std::pair<dev_t, ino_t>, std::shared_ptr<OpenFolder>> folders;
  };

  // The batch's descriptor of `folder`'s folder, so that a batch holds one per folder, not one
  // per file.
  std::shared_ptr<OpenFolder> shareFolder(OpenFolder folder);

  OpenFolder base_;
  mutable std::mutex mutex_;  // guards batch_
  Batch batch_;
  std::mutex commitMutex_;
};

}  // namespace pitchtrack
