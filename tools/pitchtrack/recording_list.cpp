#include "recording_list.h"

namespace pitchtrack::cli {

namespace fs = std::filesystem;

void RecordingList::add(std::string_view name) {
  const size_t start = bytes_.size();
  bytes_.append(name);
  try {
    ends_.push_back(bytes_.size());
  } catch (...) {
    bytes_.resize(start);  // the list stays as it was
    throw;
  }
}

std::string RecordingList::operator[](size_t index) const {
  const size_t start = index == 0 ? 0 : ends_[index - 1];
  return bytes_.substr(start, ends_[index] - start);
}

void CommonFolder::add(const fs::path& recording) {
  const fs::path folder = fs::absolute(recording).lexically_normal().parent_path();
  if (empty_) {
    root_ = folder;
    empty_ = false;
    return;
  }
  fs::path shared;
  auto a = root_.begin();
  auto b = folder.begin();
  for (; a != root_.end() && b != folder.end() && *a == *b; ++a, ++b) shared /= *a;
  root_ = std::move(shared);
}

}  // namespace pitchtrack::cli
