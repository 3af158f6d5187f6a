#include "output_naming.h"

#include <algorithm>

#include "report.h"

namespace pitchtrack::cli {

namespace fs = std::filesystem;

namespace {

constexpr char kBaseHint[] = "--base DIR (the part of each name below DIR is kept below OUTDIR)";

// `path` made absolute from the current folder, without "." and ".." components or a final
// slash; empty when the current folder cannot be known.
fs::path absoluteNormal(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error).lexically_normal();
  if (error) return {};
  if (!absolute.has_filename() && absolute.has_relative_path()) absolute = absolute.parent_path();
  return absolute;
}

bool hasDotDot(const fs::path& path) {
  return std::any_of(path.begin(), path.end(), [](const fs::path& part) { return part == ".."; });
}

}  // namespace

OutputNaming::OutputNaming(const std::optional<std::string>& base, std::string extension)
    : extension_(std::move(extension)) {
  if (base) {
    base_ = absoluteNormal(*base);
    baseAsGiven_ = *base;
  }
}

std::string OutputNaming::relativeName(const fs::path& name, fs::path& kept) const {
  if (base_) {
    const fs::path absolute = absoluteNormal(name);
    kept = absolute.lexically_relative(*base_);
    if (absolute.empty() || base_->empty() || kept.empty() || *kept.begin() == "..") {
      return "outside --base " + printableName(baseAsGiven_);
    }
    return "";
  }
  if (name.is_absolute()) return std::string("an absolute name needs ") + kBaseHint;
  if (hasDotDot(name)) {
    return std::string("a name with '..' could put its result outside OUTDIR; give ") + kBaseHint;
  }
  kept = name.lexically_normal();
  return "";
}

std::string OutputNaming::outputOf(const std::string& name, std::string& output) const {
  fs::path kept;
  if (std::string refused = relativeName(name, kept); !refused.empty()) return refused;
  if (!kept.has_filename() || kept.filename() == "." || kept.filename() == "..") {
    return "names a folder, not a recording";
  }
  kept.replace_extension(extension_);
  output = kept.string();
  return "";
}

}  // namespace pitchtrack::cli
