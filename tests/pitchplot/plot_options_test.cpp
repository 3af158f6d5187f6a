// pitchplot's options: what they parse to, what they refuse, and what they add to the picture.
#include "plot_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contour_plot.h"

namespace {

TEST(PlotOptions, ParseIntoExtrasOrARefusal) {
  const struct {
    std::vector<std::string> arguments;
    bool ok;
    size_t marks, notes;
    int64_t firstFrame;
  } cases[] = {
      {{"a.pitch", "a.svg"}, true, 0, 0, 0},
      {{"--length", "a.svg"}, true, 0, 0, 0},  // two operands are always the files
      {{"--first-frame", "12", "--length", "4.5", "a.pitch", "a.svg"}, true, 0, 0, 12},
      {{"--mark", "1,2,a, b", "--note", "0,0.4,57", "--note", "1,2,60", "a", "b"}, true, 1, 2, 0},
      {{"--first-frame", "-1", "a", "b"}, false, 0, 0, 0},
      {{"--note", "0,1,5.5", "a", "b"}, false, 0, 0, 0},
      {{"--mark", "0,1", "a", "b"}, false, 0, 0, 0},
      {{"--bogus", "1", "a", "b"}, false, 0, 0, 0},
      {{"a", "b", "c"}, false, 0, 0, 0},
      {{"a"}, false, 0, 0, 0},
      {{}, false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const PlotCommandLine line = parsePlotCommandLine(c.arguments);
    SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.front());
    EXPECT_EQ(line.ok(), c.ok) << line.error;
    if (!c.ok) continue;
    EXPECT_EQ(line.extras.marks.size(), c.marks);
    EXPECT_EQ(line.extras.notes.size(), c.notes);
    EXPECT_EQ(line.extras.firstFrame, c.firstFrame);
    EXPECT_EQ(line.svgFile, c.arguments.back());
  }
  EXPECT_EQ(parsePlotCommandLine({"--mark", "1,2,a, b", "x", "y"}).extras.marks[0].label, "a, b");
}

TEST(PlotOptions, ExtrasPlaceTheContourAndDrawMarksAndNotes) {
  const std::vector<int32_t> contour = {570, 570};
  EXPECT_EQ(renderContourSvg(contour, "t", PlotExtras{}), renderContourSvg(contour, "t"));
  PlotExtras extras;
  extras.firstFrame = 100;  // 3.2 s into the recording
  extras.seconds = 8;
  extras.marks.push_back({1, 2, "here & there"});
  extras.notes.push_back({3.2, 3.264, 57});
  const std::string svg = renderContourSvg(contour, "t", extras);
  EXPECT_NE(svg.find("<rect class=\"mark\""), std::string::npos);
  EXPECT_NE(svg.find(">here &amp; there</text>"), std::string::npos);
  EXPECT_NE(svg.find("<line class=\"sung\""), std::string::npos);
  // 4 pixels per frame, 1000 for 8 s from x = 84: frame 100 at 84 + 3.2 / 8 * 1000 = 484.
  EXPECT_NE(svg.find("d=\"M484.0,"), std::string::npos) << svg;
  EXPECT_NE(svg.find(">8</text>"), std::string::npos);
}

}  // namespace
