// A temporary directory for test files, removed with everything in it when the object dies.
#pragma once

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace testsupport {

class TempDir {
 public:
  TempDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path candidate = base / ("pitchtrack-test-" + std::to_string(random()));
      // create_directory reports false when the name is taken, so the directory is ours alone.
      if (std::filesystem::create_directory(candidate)) {
        root_ = std::move(candidate);
        return;
      }
    }
    throw std::runtime_error("cannot create a temporary directory under " + base.string());
  }

  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& root() const { return root_; }
  // The full path of a file (or subdirectory) called name inside the directory.
  std::filesystem::path path(const std::string& name) const { return root_ / name; }
  // The sorted names of what the directory (or its subdirectory sub) holds.
  std::vector<std::string> names(const std::string& sub = "") const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / sub)) {
      found.push_back(entry.path().filename());
    }
    std::sort(found.begin(), found.end());
    return found;
  }

 private:
  std::filesystem::path root_;
};

}  // namespace testsupport
