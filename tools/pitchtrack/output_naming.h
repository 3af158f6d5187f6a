// Where a corpus run puts each recording's result: a path below OUTDIR that depends on the
// recording's name alone, never on the other names of the run, so that shards of a list written
// into one OUTDIR give the tree that one run gives.
//
// Without a base folder, a relative name is kept as given, its "." components and doubled
// slashes dropped and its extension replaced: "a/b.wav" gives "a/b.pitch". A name with ".." could
// put its result outside OUTDIR, and an absolute one has no part to keep: both are refused. With
// a base folder (--base DIR), the part of the name below DIR is kept ("/data/c/a/b.wav" with
// DIR "/data/c" gives "a/b.pitch"; relative names and DIR count from the current folder, ".."
// taken as written); a name outside DIR is refused.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pitchtrack::cli {

class OutputNaming {
 public:
  // `base`: the --base folder, if any; `extension`: the output's (".pitch", ".notes.csv", ...).
  OutputNaming(const std::optional<std::string>& base, std::string extension);

  // Puts the output path of `name`, relative to OUTDIR, in `output`; returns an empty string, or
  // why the name has none.
  std::string outputOf(const std::string& name, std::string& output) const;

 private:
  std::string relativeName(const std::filesystem::path& name, std::filesystem::path& kept) const;

  std::optional<std::filesystem::path> base_;  // absolute, without "." or ".." components
  std::string baseAsGiven_;
  std::string extension_;
};

}  // namespace pitchtrack::cli
