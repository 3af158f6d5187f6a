// The output path of a corpus name depends on the name alone: kept below OUTDIR as given, or
// below --base; names that could leave OUTDIR, or have nothing to keep, are refused.
#include "output_naming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pitchtrack::cli {

namespace {

struct NamingCase {
  const char* name;
  std::optional<std::string> base;
  const char* output;   // "" when refused
  const char* refusal;  // the start of the reason, when refused
};

TEST(OutputNaming, KeepsTheNameOrThePartBelowTheBase) {
  const std::string here = std::filesystem::current_path().string();
  const std::vector<NamingCase> cases = {
      {"a/b.wav", std::nullopt, "a/b.pitch", ""},
      {"./a//b.WAV", std::nullopt, "a/b.pitch", ""},
      {"a/b", std::nullopt, "a/b.pitch", ""},
      {"a/.b.wav", std::nullopt, "a/.b.pitch", ""},
      {"a/b.c.wav", std::nullopt, "a/b.c.pitch", ""},
      {"a/../b.wav", std::nullopt, "", "a name with '..' could put its result outside OUTDIR"},
      {"/data/a.wav", std::nullopt, "", "an absolute name needs --base DIR"},
      {"a/", std::nullopt, "", "names a folder"},
      {"/data/c/a/b.wav", "/data/c", "a/b.pitch", ""},
      {"/data/c/a/b.wav", "/data/c/", "a/b.pitch", ""},
      {"/data/c/../c/a.wav", "/data/c", "a.pitch", ""},
      {"/x.wav", "/", "x.pitch", ""},
      {"c/a.wav", here + "/c", "a.pitch", ""},
      {"/data/cc/a.wav", "/data/c", "", "outside --base /data/c"},
      {"/data/c", "/data/c", "", "names a folder"},
  };
  for (const NamingCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " with --base " + c.base.value_or("(none)"));
    std::string output;
    const std::string refused = OutputNaming(c.base, ".pitch").outputOf(c.name, output);
    EXPECT_EQ(refused.empty() ? output : "", c.output) << refused;
    EXPECT_TRUE(refused.starts_with(c.refusal)) << refused;
  }
}

}  // namespace

}  // namespace pitchtrack::cli
