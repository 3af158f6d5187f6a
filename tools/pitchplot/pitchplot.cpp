// pitchplot [OPTIONS] pitchFile svgFile: draws the contour of a pitch file (as pitchtrack writes
// it) as an SVG picture: time along the bottom, notes up the side, unpitched frames as gaps. The
// options (plot_options.h) place the contour in its recording, mark stretches of time and draw
// the notes that were sung beside it.
//
// Exit status: 0 when the picture was written; 1 when the pitch file cannot be read or is not
// one line of "+"-joined non-negative integers, or the picture cannot be written; 2 for a wrong
// command line. Messages go to standard error.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "contour_plot.h"
#include "output_file.h"
#include "plot_options.h"
#include "standard_descriptors.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The whole file, or nothing with `reason` set.
std::optional<std::string> readWholeFile(const std::string& path, std::string& reason) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    reason = "it is a directory";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    reason = "read error";
    return std::nullopt;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  // A failed write (a full disk, a file-size limit) is reported rather than fatal, and a signal
  // never leaves a temporary file behind.
  pitchtrack::openClosedStandardDescriptors();
  pitchtrack::protectOutputFiles();
  const PlotCommandLine line =
      parsePlotCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  if (!line.ok()) {
    std::fprintf(stderr, "Usage: %s pitchFile svgFile\n", argc > 0 ? argv[0] : "pitchplot");
    return kExitUsage;
  }
  const std::string& pitchFile = line.pitchFile;
  const std::string& svgFile = line.svgFile;

  std::string reason;
  const std::optional<std::string> text = readWholeFile(pitchFile, reason);
  if (!text) {
    std::fprintf(stderr, "pitchplot: cannot read pitch file %s: %s\n", pitchFile.c_str(),
                 reason.c_str());
    return kExitFailure;
  }
  const ParsedPitchLine parsed = parsePitchLine(*text);
  if (!parsed.ok()) {
    std::fprintf(stderr, "pitchplot: %s is not a pitch file: %s\n", pitchFile.c_str(),
                 parsed.error.c_str());
    return kExitFailure;
  }
  const std::string svg = renderContourSvg(parsed.values, pitchFile, line.extras);
  if (!pitchtrack::writeOutputFile(svgFile, svg).ok()) {
    std::fprintf(stderr, "pitchplot: cannot write %s\n", svgFile.c_str());
    return kExitFailure;
  }
  return 0;
}
