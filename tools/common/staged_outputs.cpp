#include "staged_outputs.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "output_target.h"

namespace pitchtrack {

namespace {

// Flushes the file system that holds `folder` with everything written to it; 0, or the error. A
// folder open for path operations only cannot be given to syncfs, and then every file system is
// flushed.
int flushFileSystem(const OpenFolder& folder) {
  if (!folder.syncable()) {
    ::sync();
    return 0;
  }
  return ::syncfs(folder.fd()) == 0 ? 0 : errno;
}

// The file systems of a batch, each flushed once (a batch rarely spans more than one; beyond a
// few, every file system is flushed at once). Holds no memory of its own, so that a batch can be
// committed when memory has run out.
class FileSystemFlush {
 public:
  // 0, or the error of flushing the file system that holds `folder`.
  int errorFor(const OpenFolder& folder) {
    struct stat status {};
    const dev_t device = ::fstat(folder.fd(), &status) == 0 ? status.st_dev : 0;
    for (size_t i = 0; i < count_; ++i) {
      if (devices_[i].device == device) return devices_[i].error;
    }
    const int error = count_ < devices_.size() ? flushFileSystem(folder) : (::sync(), 0);
    if (count_ < devices_.size()) devices_[count_++] = {device, error};
    return error;
  }

 private:
  struct Device {
    dev_t device;
    int error;
  };
  std::array<Device, 8> devices_{};
  size_t count_ = 0;
};

// Hands a failed file to `failed` with `context` before the error's text, and removes its
// temporary file.
template <typename File>
void fail(File& file, const char* context, int error, const StagedOutputs::FailureSink& failed) {
  char reason[256];
  std::snprintf(reason, sizeof reason, "%s%s", context, std::strerror(error));
  failed(file.owner, file.path, reason, false);
  file.temporary.reset();
}

// Why `veto` refuses what is at the file's final name now, written to `refusal`; false when it
// may be replaced. Without memory for the veto's reason, the file is left untouched.
template <typename File>
bool vetoed(File& file, const StagedOutputs::Veto& veto, std::string& refusal) {
  struct stat existing {};
  if (::fstatat(file.folder->fd(), file.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
    return false;
  }
  try {
    refusal = veto(file.path, existing);
  } catch (const std::bad_alloc&) {
    refusal.clear();
    return true;
  }
  return !refusal.empty();
}

// Renames one staged file into place, unless the veto refuses what is at its name now.
template <typename File>
void renameIntoPlace(File& file, const StagedOutputs::Veto& veto,
                     const StagedOutputs::FailureSink& failed) {
  std::string refusal;
  if (vetoed(file, veto, refusal)) {
    failed(file.owner, file.path,
           refusal.empty() ? "not enough memory to check what its output would replace; nothing "
                             "replaced"
                           : refusal.c_str(),
           true);
    file.temporary.reset();
    return;
  }
  if (const int error = file.temporary->renameTo(file.name); error != 0) {
    fail(file, "", error, failed);
  }
}

}  // namespace

std::shared_ptr<OpenFolder> StagedOutputs::shareFolder(OpenFolder folder) {
  struct stat status {};
  const auto key = ::fstat(folder.fd(), &status) == 0 ? std::make_pair(status.st_dev, status.st_ino)
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

void StagedOutputs::commit(const Veto& veto, const FailureSink& failed) {
  const std::lock_guard committing(commitMutex_);
  Batch batch;
  {
    const std::lock_guard lock(mutex_);
    std::swap(batch, batch_);
  }
  // The contents reach the disk before any name points at them...
  FileSystemFlush contents;
  for (Staged& file : batch.files) {
    if (const int error = contents.errorFor(*file.folder); error != 0) {
      fail(file, "cannot flush the result to the disk: ", error, failed);
    } else {
      renameIntoPlace(file, veto, failed);
    }
  }
  // ... and the names after the renames.
  FileSystemFlush names;
  for (Staged& file : batch.files) {
    if (file.temporary == nullptr) continue;
    if (const int error = names.errorFor(*file.folder); error != 0) {
      fail(file, "renamed into place but not flushed to the disk: ", error, failed);
    }
  }
}

}  // namespace pitchtrack
