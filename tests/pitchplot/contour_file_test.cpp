// pitchplot's reading of the contour files pitchtrack writes: the pitch line, the CSV and the
// JSON, told apart by their content, with the first frame the CSV and the JSON carry.
#include "contour_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

struct FileCase {
  const char* name;
  std::string text;
  std::vector<int32_t> values;
  std::optional<int64_t> firstFrame;
  std::string error;  // empty: the text parses
};

const char* const kCsvHeader = "frame,seconds,value,hz,midi\n";
const char* const kPreciseHeader = "frame,seconds,value,hz,midi,confidence\n";

std::vector<FileCase> fileCases() {
  return {
      {"line", "480+0+490\n", {480, 0, 490}, std::nullopt, ""},
      {"csv",
       std::string(kCsvHeader) + "16,0.512,480,130.813,48.0\n17,0.544,,,\n",
       {480, 0},
       16,
       ""},
      {"csv with CR LF and confidence",
       std::string(kPreciseHeader) + "3,0.096,691,442.000,69.1,0.900\r\n",
       {691},
       3,
       ""},
      {"csv of an empty contour", kCsvHeader, {}, std::nullopt, ""},
      {"csv with a gap",
       std::string(kCsvHeader) + "5,,480,,\n7,,480,,\n",
       {},
       std::nullopt,
       "CSV: row 2: frame 7 where frame 6 was due"},
      {"csv with a bad value",
       std::string(kCsvHeader) + "5,,4x0,,\n",
       {},
       std::nullopt,
       "CSV: row 1: value (\"4x0\") is not a non-negative integer"},
      {"csv with a short row",
       std::string(kCsvHeader) + "5,0.16,480,,\n\n6,,480,,\n",
       {},
       std::nullopt,
       "CSV: row 2: too few fields"},
      {"csv without values", "frame,seconds\n1,0.032\n", {}, std::nullopt, "CSV: no column value"},
      {"json",
       R"({"file": "a\"values\": [9].wav", "frame_seconds": 0.032, "first_frame": 12, )"
       R"("values": [480, 0, 485], "hz": [131.0, 0.000, 134.5], "confidence": [0.9, 0, 0.8]})"
       "\n",
       {480, 0, 485},
       12,
       ""},
      {"json lines of a live run",
       "{\"frame\": 4, \"seconds\": 0.128, \"value\": 0, \"hz\": 0.000}\n"
       "{\"frame\": 5, \"seconds\": 0.160, \"value\": 691, \"hz\": 442.000}\n",
       {0, 691},
       4,
       ""},
      {"json of an empty contour",
       R"({"file": "q.wav", "first_frame": 0, "values": []})",
       {},
       0,
       ""},
      {"json skipping nested members",
       R"({"x": {"y": [1, "]}"]}, "values": [5]})",
       {5},
       std::nullopt,
       ""},
      {"json without values",
       R"({"file": "q.wav", "first_frame": 0})",
       {},
       std::nullopt,
       "JSON: no \"values\" member"},
      {"json with a negative first frame",
       R"({"first_frame": -1, "values": []})",
       {},
       std::nullopt,
       "JSON: first_frame (\"-1\") is not a non-negative integer"},
      {"json with a fraction",
       R"({"values": [480, 48.5]})",
       {},
       std::nullopt,
       "JSON: value 2 (\"48.5\") is not a non-negative integer"},
      {"json cut short",
       R"({"values": [480, 490)",
       {},
       std::nullopt,
       "JSON: \"values\" is not closed"},
      {"json with an unescaped quote",
       R"({"file": "a.wav, "values": [1]})",
       {},
       std::nullopt,
       "JSON: malformed at byte 19"},
  };
}

TEST(ContourFile, ReadsTheLineCsvAndJsonPitchtrackWrites) {
  for (const FileCase& c : fileCases()) {
    SCOPED_TRACE(c.name);
    const ParsedContour parsed = parseContourFile(c.text);
    EXPECT_EQ(parsed.error, c.error);
    if (!c.error.empty()) continue;
    EXPECT_EQ(parsed.values, c.values);
    EXPECT_EQ(parsed.firstFrame, c.firstFrame);
  }
}

// What the tool writes for the example, in each format, reads back as the same contour; a live
// run's lines hold every frame, the precise contour's among them.
TEST(ContourFile, ReadsTheToolsOwnOutput) {
  testsupport::TempDir work;
  const std::string wav = std::filesystem::path(EXAMPLES_DIR) / "melody.wav";
  std::vector<ParsedContour> parsed;
  for (const std::string options :
       {"", "--format=csv", "--format=json", "--precise --format=csv", "--live --format=json"}) {
    const auto run = testsupport::runShell(testsupport::shellQuote(PITCHTRACK_BIN) + " -q " +
                                               options + " " + testsupport::shellQuote(wav) + " -",
                                           work.root());
    ASSERT_EQ(run.status, 0) << run.err;
    parsed.push_back(parseContourFile(run.out));
    ASSERT_TRUE(parsed.back().ok()) << options << ": " << parsed.back().error;
  }
  EXPECT_GT(parsed[0].values.size(), 100u);
  EXPECT_EQ(parsed[1].values, parsed[0].values);
  EXPECT_EQ(parsed[2].values, parsed[0].values);
  EXPECT_EQ(parsed[1].firstFrame, 16);  // the melody starts after 0.5 s of silence
  EXPECT_EQ(parsed[2].firstFrame, 16);
  const ParsedContour& precise = parsed[3];
  const ParsedContour& live = parsed[4];
  ASSERT_TRUE(precise.firstFrame && live.firstFrame == 0);
  ASSERT_GE(live.values.size(), *precise.firstFrame + precise.values.size());
  EXPECT_TRUE(std::equal(precise.values.begin(), precise.values.end(),
                         live.values.begin() + *precise.firstFrame));
}

}  // namespace
