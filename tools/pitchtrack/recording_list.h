// The recordings of a corpus, kept compactly: a list of millions of names costs little more than
// their bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pitchtrack::cli {

class RecordingList {
 public:
  // Adds a name (std::bad_alloc when memory runs out).
  void add(std::string_view name);
  size_t size() const { return ends_.size(); }
  std::string operator[](size_t index) const;

 private:
  std::string bytes_;         // every name, one after the other
  std::vector<size_t> ends_;  // where each name ends in bytes_
};

// The deepest folder that holds every recording added (made absolute), built name by name.
class CommonFolder {
 public:
  void add(const std::filesystem::path& recording);
  const std::filesystem::path& path() const { return root_; }

 private:
  std::filesystem::path root_;
  bool empty_ = true;
};

}  // namespace pitchtrack::cli
