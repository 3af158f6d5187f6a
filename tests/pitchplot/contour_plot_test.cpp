// pitchplot: reading pitch lines, note names, the SVG drawing, and the command line.
#include "contour_plot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "contour_file.h"
#include "plot_options.h"
#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runShell;
using testsupport::shellQuote;
using testsupport::TempDir;

struct Point {
  double x = 0;
  double y = 0;
};

// The points of every <path class="voiced"> of an SVG document, one vector per path: each
// "x,y" pair of its data.
std::vector<std::vector<Point>> voicedPaths(const std::string& svg) {
  const std::string opening = "<path class=\"voiced\" d=\"";
  std::vector<std::vector<Point>> paths;
  for (size_t at = svg.find(opening); at != std::string::npos; at = svg.find(opening, at)) {
    at += opening.size();
    const std::string d = svg.substr(at, svg.find('"', at) - at);
    std::vector<Point>& points = paths.emplace_back();
    for (size_t comma = d.find(','); comma != std::string::npos; comma = d.find(',', comma + 1)) {
      const size_t begin = d.find_last_of(" ML", comma) + 1;
      size_t end = d.find(' ', comma);
      if (end == std::string::npos) end = d.size();
      points.push_back({std::stod(d.substr(begin, comma - begin)),
                        std::stod(d.substr(comma + 1, end - comma - 1))});
    }
  }
  return paths;
}

size_t pointCount(const std::string& svg) {
  size_t count = 0;
  for (const auto& path : voicedPaths(svg)) count += path.size();
  return count;
}

bool hasLabel(const std::string& svg, const std::string& text) {
  return svg.find(">" + text + "</text>") != std::string::npos;
}

TEST(ParsePitchLine, ReadsTheToolsLineWithOrWithoutItsLineEnd) {
  const std::vector<std::pair<std::string, std::vector<int32_t>>> cases = {
      {"480+0+550\n", {480, 0, 550}},
      {"480+0+550", {480, 0, 550}},
      {"480+0+550\r\n", {480, 0, 550}},
      {"7+0615+2147483647\n", {7, 615, 2147483647}},
      {"", {}},
      {"\n", {}},
      {"\r\n", {}}};
  for (const auto& [text, values] : cases) {
    const ParsedContour parsed = parsePitchLine(text);
    EXPECT_TRUE(parsed.ok()) << text << parsed.error;
    EXPECT_EQ(parsed.values, values) << text;
  }
}

TEST(ParsePitchLine, RejectsMalformedLinesNamingTheFirstBadValue) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"+480\n", "value 1 is empty"},
      {"480++550\n", "value 2 is empty"},
      {"480+\n", "value 2 is empty"},
      {"480+-10\n", "value 2 (\"-10\") is not a non-negative integer"},
      {"480+ 550\n", "value 2 (\" 550\") is not a non-negative integer"},
      {"480+550+5x0\n", "value 3 (\"5x0\") is not a non-negative integer"},
      {"480,550\n", "value 1 (\"480,550\") is not a non-negative integer"},
      {"480\r", "value 1 (\"480?\") is not a non-negative integer"},
      {"48\x01", "value 1 (\"48?\") is not a non-negative integer"},
      {"0+2147483648\n", "value 2 (\"2147483648\") is too large"},
      {"1234567890123456789012345678901\n",
       "value 1 (\"123456789012345678901234...\") is too large"},
      {"480\n550\n", "more than one line"},
      {"480\n\n", "more than one line"},
  };
  for (const auto& [text, error] : cases) {
    const ParsedContour parsed = parsePitchLine(text);
    EXPECT_FALSE(parsed.ok()) << text;
    EXPECT_EQ(parsed.error, error) << text;
  }
}

TEST(NoteName, NamesSemitonesWithSharpsAndTheOctave) {
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {60, "C4"}, {61, "C#4"}, {69, "A4"},  {59, "B3"},  {48, "C3"},
      {47, "B2"}, {0, "C-1"},  {-1, "B-2"}, {127, "G9"}, {70, "A#4"}};
  for (const auto& [semitone, name] : cases) EXPECT_EQ(noteName(semitone), name) << semitone;
}

TEST(RenderContourSvg, DrawsOnePathPerPitchedStretchWithOnePointPerFrame) {
  const std::string svg =
      renderContourSvg(std::vector<int32_t>{480, 480, 0, 0, 550, 540, 550, 0, 600}, "t");
  const auto paths = voicedPaths(svg);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0].size(), 2u);
  EXPECT_EQ(paths[1].size(), 3u);
  EXPECT_EQ(paths[2].size(), 1u);
  // The lone frame is drawn as a dot, and only it.
  EXPECT_NE(svg.find("h0\" stroke-width="), std::string::npos);
  EXPECT_EQ(svg.find("h0", svg.find("h0") + 1), std::string::npos);
}

TEST(RenderContourSvg, PlacesPointsByFrameTimeAndPitch) {
  const std::vector<int32_t> contour = {480, 490, 0, 0, 600, 480};
  const auto paths = voicedPaths(renderContourSvg(contour, "t.pitch"));
  ASSERT_EQ(paths.size(), 2u);
  ASSERT_EQ(paths[1].size(), 2u);
  const Point f0 = paths[0][0], f1 = paths[0][1], f4 = paths[1][0], f5 = paths[1][1];
  // Time runs at a steady pace across the gap.
  const double step = f1.x - f0.x;
  EXPECT_GT(step, 0);
  EXPECT_NEAR(f4.x - f0.x, 4 * step, 0.5);
  EXPECT_NEAR(f5.x - f0.x, 5 * step, 0.6);
  // Higher pitch is higher on the page (smaller y), equal pitch at equal height, and the
  // distance is proportional to the interval.
  EXPECT_DOUBLE_EQ(f5.y, f0.y);
  EXPECT_LT(f4.y, f1.y);
  EXPECT_NEAR(f0.y - f4.y, 12 * (f0.y - f1.y), 1.5);
}

TEST(RenderContourSvg, LabelsEveryNoteOfASmallRangeAndOnlyTheCsOfAWideOne) {
  const std::string narrow = renderContourSvg(std::vector<int32_t>{480, 550, 570}, "t.pitch");
  for (const std::string note : {"C3", "C#3", "D3", "E3", "G3", "A3"}) {
    EXPECT_TRUE(hasLabel(narrow, note)) << note;
  }
  EXPECT_FALSE(hasLabel(narrow, "C5"));

  const std::string wide = renderContourSvg(std::vector<int32_t>{300, 0, 900}, "t.pitch");
  for (const std::string note : {"C2", "C3", "C4", "C5", "C6"}) {
    EXPECT_TRUE(hasLabel(wide, note)) << note;
  }
  for (const std::string note : {"D4", "A4", "G#5"}) EXPECT_FALSE(hasLabel(wide, note)) << note;
}

TEST(RenderContourSvg, LabelsTheTimeAxisInSeconds) {
  // 248 frames of 32 ms: 7.936 s.
  const std::string svg = renderContourSvg(std::vector<int32_t>(248, 500), "t.pitch");
  EXPECT_TRUE(hasLabel(svg, "time (s)"));
  for (const std::string second : {"0", "1", "4", "7"}) {
    EXPECT_TRUE(hasLabel(svg, second)) << second;
  }
  EXPECT_FALSE(hasLabel(svg, "8"));
  EXPECT_NE(svg.find("248 frames of 32 ms, 7.94 s, 248 pitched, from D3 to D3"), std::string::npos);
}

TEST(RenderContourSvg, NotesNoPitchWhenNothingIsPitched) {
  for (const std::vector<int32_t>& contour : {std::vector<int32_t>{}, std::vector<int32_t>{0, 0}}) {
    const std::string svg = renderContourSvg(contour, "quiet.pitch");
    EXPECT_TRUE(hasLabel(svg, "no pitch")) << contour.size();
    EXPECT_TRUE(voicedPaths(svg).empty());
    EXPECT_TRUE(hasLabel(svg, "C4")) << "the axes are still drawn";
  }
  EXPECT_FALSE(hasLabel(renderContourSvg(std::vector<int32_t>{0, 500}, "t"), "no pitch"));
}

TEST(RenderContourSvg, TitleNamesTheFileAsSafeXmlText) {
  const std::string svg = renderContourSvg(std::vector<int32_t>{500}, "a<b>&\"c\"'.pitch");
  EXPECT_NE(svg.find("<title>Pitch contour of a&lt;b&gt;&amp;&quot;c&quot;&apos;.pitch</title>"),
            std::string::npos);
  // Invalid UTF-8 and control characters become '?', valid UTF-8 is kept.
  const std::string odd =
      renderContourSvg(std::vector<int32_t>{500}, "caf\xc3\xa9 \xff\xc3(\x01\xed\xa0\x80.pitch");
  EXPECT_NE(odd.find("Pitch contour of caf\xc3\xa9 ?\?(?\?\?\?.pitch</title>"), std::string::npos);
}

TEST(RenderContourSvg, IsWellFormedXml) {
  if (!testsupport::haveProgram("xmllint")) GTEST_SKIP() << "xmllint is not installed";
  TempDir work;
  const std::string melody = readFile(fs::path(EXAMPLES_DIR) / "melody.pitch");
  const std::vector<std::pair<std::string, std::string>> documents = {
      {"melody.svg", renderContourSvg(parsePitchLine(melody).values, "melody.pitch")},
      {"empty.svg", renderContourSvg({}, "empty.pitch")},
      {"wide.svg", renderContourSvg(std::vector<int32_t>{0, 10, 0, 1270, 2147483647}, "w")},
      {"title.svg", renderContourSvg(std::vector<int32_t>{500}, "<&\"\xff\x01\x7f]]>")},
  };
  for (const auto& [name, svg] : documents) {
    const fs::path file = work.path(name);
    testsupport::writeText(file, svg);
    const auto check = runShell("xmllint --noout " + shellQuote(file.string()), work.root());
    EXPECT_EQ(check.status, 0) << name << ": " << check.err;
    EXPECT_EQ(check.err + check.out, "") << name;
  }
}

// The pitchplot command line.

testsupport::ShellRun pitchplot(const TempDir& work, const std::string& arguments) {
  return runShell("cd " + shellQuote(work.root().string()) + " && " + shellQuote(PITCHPLOT_BIN) +
                      " " + arguments,
                  work.root());
}

size_t entries(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(Pitchplot, WrongArgumentCountPrintsUsageAndExitsTwo) {
  TempDir work;
  for (const std::string arguments : {"", "a.pitch", "a.pitch b.svg c"}) {
    const auto run = pitchplot(work, arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err, std::string("Usage: ") + PITCHPLOT_BIN + " [OPTIONS] pitchFile svgFile\n" +
                           "Try '" + PITCHPLOT_BIN + " --help' for more.\n");
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(entries(work.root()), 0u);
}

TEST(Pitchplot, UnreadableOrMalformedPitchFileExitsOneAndWritesNothing) {
  TempDir work;
  fs::create_directory(work.path("folder"));
  testsupport::writeText(work.path("bad.pitch"), "480+5x+490\n");
  testsupport::writeText(work.path("two.pitch"), "480\n490\n");
  testsupport::writeText(work.path("kept.svg"), "old");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"missing.pitch",
       "pitchplot: cannot read pitch file missing.pitch: No such file or directory\n"},
      {"folder", "pitchplot: cannot read pitch file folder: it is a directory\n"},
      {"bad.pitch",
       "pitchplot: bad.pitch is not a pitch file: value 2 (\"5x\") is not a non-negative "
       "integer\n"},
      {"two.pitch", "pitchplot: two.pitch is not a pitch file: more than one line\n"},
  };
  for (const auto& [input, message] : cases) {
    const auto run = pitchplot(work, input + " kept.svg");
    EXPECT_EQ(run.status, 1) << input;
    EXPECT_EQ(run.err, message);
    EXPECT_EQ(readFile(work.path("kept.svg")), "old") << input;
  }
  EXPECT_EQ(entries(work.root()), 4u) << "no temporary file is left behind";
}

// The command lines of standard input and output, --help, and the inputs pitchtrack writes.
TEST(Pitchplot, ReadsAndWritesStandardStreamsAndEveryFormat) {
  TempDir work;
  testsupport::writeText(work.path("a.csv"), "frame,seconds,value,hz,midi\n9,,480,,\n10,,,,\n");
  testsupport::writeText(work.path("a.json"), R"({"first_frame": 9, "values": [480, 0]})");
  testsupport::writeText(work.path("a.notes.csv"), "onset,offset,note\n0.3,0.4,48\n");
  PlotExtras placed;
  placed.firstFrame = 9;
  const std::string fromInput =
      renderContourSvg(std::vector<int32_t>{480, 0}, "standard input", placed);
  PlotExtras moved;
  moved.firstFrame = 2;
  PlotExtras withNotes = placed;
  withNotes.notes.push_back({0.3, 0.4, 48});
  const struct {
    std::string command;
    int status;
    std::string out;  // standard output, or the picture written to out.svg when empty
    std::string picture;
  } cases[] = {
      {"--help", 0, plotHelpText(), ""},
      {"-h", 0, plotHelpText(), ""},
      {"- - < a.csv", 0, fromInput, ""},
      {"- - < a.json", 0, fromInput, ""},
      {"a.json out.svg", 0, "", renderContourSvg(std::vector<int32_t>{480, 0}, "a.json", placed)},
      {"--first-frame 2 a.csv out.svg", 0, "",
       renderContourSvg(std::vector<int32_t>{480, 0}, "a.csv", moved)},
      {"--notes - a.csv out.svg < a.notes.csv", 0, "",
       renderContourSvg(std::vector<int32_t>{480, 0}, "a.csv", withNotes)},
      {"--notes - - out.svg < a.csv", 2, "", ""},
      {"a.csv - > /dev/full", 1, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    fs::remove(work.path("out.svg"));
    const auto run = pitchplot(work, c.command);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(c.picture.empty() ? "" : readFile(work.path("out.svg")), c.picture);
    EXPECT_EQ(run.err.empty(), c.status == 0) << run.err;
  }
}

TEST(Pitchplot, UnwritablePictureExitsOne) {
  TempDir work;
  testsupport::writeText(work.path("a.pitch"), "480\n");
  const auto run = pitchplot(work, "a.pitch no/such/dir/a.svg");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "pitchplot: cannot write no/such/dir/a.svg\n");
}

TEST(Pitchplot, DrawsThePitchFileTitledWithItsName) {
  TempDir work;
  const std::string melody = readFile(fs::path(EXAMPLES_DIR) / "melody.pitch");
  testsupport::writeText(work.path("melody.pitch"), melody);
  testsupport::writeText(work.path("melody.svg"), "replaced");
  const auto run = pitchplot(work, "melody.pitch melody.svg");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");
  const std::string svg = readFile(work.path("melody.svg"));
  EXPECT_EQ(svg, renderContourSvg(parsePitchLine(melody).values, "melody.pitch"));
  size_t pitched = 0;
  for (const int32_t value : parsePitchLine(melody).values) pitched += value != 0 ? 1 : 0;
  EXPECT_GT(pitched, 100u);
  EXPECT_EQ(pointCount(svg), pitched);

  testsupport::writeText(work.path("silence.pitch"), "\n");
  ASSERT_EQ(pitchplot(work, "silence.pitch silence.svg").status, 0);
  EXPECT_TRUE(hasLabel(readFile(work.path("silence.svg")), "no pitch"));
  EXPECT_EQ(pointCount(readFile(work.path("silence.svg"))), 0u);
}

TEST(Pitchplot, TheReadmePictureIsUpToDate) {
  // docs/melody.svg is the picture of examples/melody.pitch; regenerate it from the source root
  // with: build/pitchplot examples/melody.pitch docs/melody.svg (and docs/melody.png with
  // rsvg-convert) whenever the drawing or the example changes.
  const fs::path source = PT_SOURCE_DIR;
  const std::string melody = readFile(source / "examples" / "melody.pitch");
  EXPECT_EQ(readFile(source / "docs" / "melody.svg"),
            renderContourSvg(parsePitchLine(melody).values, "examples/melody.pitch"));
}

}  // namespace
