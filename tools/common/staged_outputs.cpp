#include "staged_outputs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "output_target.h"

namespace pitchtrack {

namespace {

using FailureList = std::vector<StagedOutputs::Failure>;

// Flushes the file system that holds `folder` with everything written to it; a folder open for
// path operations only cannot be given to syncfs, and then every file system is flushed.
std::string flushFileSystem(const OpenFolder& folder) {
  if (!folder.syncable()) {
    ::sync();
    return "";
  }
  return ::syncfs(folder.fd()) == 0 ? "" : std::strerror(errno);
}

// Flushes the file systems of `files`, one call each; the files on one that failed move to
// `failures` with `context` before the reason.
template <typename Files>
void flushAll(Files& files, const char* context, FailureList& failures) {
  std::map<dev_t, std::string> outcome;
  for (auto& file : files) {
    struct stat folder {};
    const dev_t device = ::fstat(file.folder->fd(), &folder) == 0 ? folder.st_dev : 0;
    if (!outcome.contains(device)) outcome[device] = flushFileSystem(*file.folder);
    if (!outcome[device].empty()) {
      failures.push_back({file.owner, file.path, context + outcome[device]});
      file.temporary.reset();  // removes it
    }
  }
  std::erase_if(files, [](const auto& file) { return file.temporary == nullptr; });
}

// Renames one staged file into place, unless `veto` refuses what is at its name now; the
// failure, if any, goes to `failures`.
void renameIntoPlace(auto& file, const StagedOutputs::Veto& veto, FailureList& failures) {
  struct stat existing {};
  if (::fstatat(file.folder->fd(), file.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    if (std::string refused = veto(file.path, existing); !refused.empty()) {
      failures.push_back({file.owner, file.path, refused, true});
      file.temporary.reset();
      return;
    }
  }
  if (WriteResult renamed = file.temporary->renameTo(file.name); !renamed.ok()) {
    failures.push_back({file.owner, file.path, renamed.reason});
    file.temporary.reset();
  }
}

}  // namespace

std::shared_ptr<OpenFolder> StagedOutputs::shareFolder(OpenFolder folder) {
  struct stat status {};
  const auto key = ::fstat(folder.fd(), &status) == 0
                       ? std::make_pair(status.st_dev, status.st_ino)
                       : std::make_pair(dev_t{}, ino_t{});
  const std::lock_guard lock(mutex_);
  std::shared_ptr<OpenFolder>& shared = batch_.folders[key];
  if (shared == nullptr) shared = std::make_shared<OpenFolder>(std::move(folder));
  return shared;
}

WriteResult StagedOutputs::stage(const std::string& relativePath, const std::string& text,
                                 const std::string& owner) {
  OutputTarget target;
  if (WriteResult found = findOutputTarget(&base_, relativePath, MissingFolders::kCreate, target);
      !found.ok()) {
    return found;
  }
  if (target.kind != OutputTarget::Kind::kFile) return writeInPlace(target, text);
  Staged staged{shareFolder(std::move(target.folder)), nullptr, target.name, relativePath, owner};
  staged.temporary = std::make_unique<TemporaryFile>(staged.folder->fd());
  const struct stat* existing = target.exists ? &target.entry : nullptr;
  if (WriteResult created = staged.temporary->create(existing != nullptr ? 0600 : 0666);
      !created.ok()) {
    return created;
  }
  if (WriteResult filled = staged.temporary->fill(text, existing); !filled.ok()) return filled;
  if (WriteResult closed = staged.temporary->close(); !closed.ok()) return closed;
  const std::lock_guard lock(mutex_);
  batch_.files.push_back(std::move(staged));
  return {};
}

size_t StagedOutputs::pendingFiles() const {
  const std::lock_guard lock(mutex_);
  return batch_.files.size();
}

size_t StagedOutputs::pendingFolders() const {
  const std::lock_guard lock(mutex_);
  return batch_.folders.size();
}

std::vector<StagedOutputs::Failure> StagedOutputs::commit(const Veto& veto) {
  const std::lock_guard committing(commitMutex_);
  Batch batch;
  {
    const std::lock_guard lock(mutex_);
    std::swap(batch, batch_);
  }
  FailureList failures;
  // The contents reach the disk before any name points at them...
  flushAll(batch.files, "cannot flush the result to the disk: ", failures);
  for (Staged& file : batch.files) renameIntoPlace(file, veto, failures);
  std::erase_if(batch.files, [](const Staged& file) { return file.temporary == nullptr; });
  // ... and the names after the renames.
  flushAll(batch.files, "renamed into place but not flushed to the disk: ", failures);
  return failures;
}

}  // namespace pitchtrack
