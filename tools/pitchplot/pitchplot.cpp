// pitchplot [OPTIONS] pitchFile svgFile: draws the contour pitchtrack wrote (its pitch file, CSV
// or JSON) as an SVG picture: time along the bottom, notes up the side, unpitched frames as gaps.
// The options (plot_options.h) place the contour in its recording, mark stretches of time and
// draw the notes that were sung beside it. "-" reads standard input or writes standard output.
//
// Exit status: 0 when the picture was written (and for --help); 1 when the contour cannot be
// read or is not what pitchtrack writes, or the picture cannot be written; 2 for a wrong
// command line. Messages go to standard error.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "contour_file.h"
#include "contour_plot.h"
#include "notes_file.h"
#include "output_file.h"
#include "plot_options.h"
#include "standard_descriptors.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kStandardStream = "-";

// The whole of `file`, or nothing with `reason` set.
std::optional<std::string> readWholeFile(std::FILE* file, std::string& reason) {
  std::string text;
  char block[65536];
  size_t count = 0;
  while ((count = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, count);
  if (std::ferror(file) != 0) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  return text;
}

// The whole input named `name` (a file, or standard input for "-"), or nothing with `reason`
// set.
std::optional<std::string> readInput(const std::string& name, std::string& reason) {
  if (name == kStandardStream) return readWholeFile(stdin, reason);
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) {
    reason = "it is a directory";
    return std::nullopt;
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  return readWholeFile(file.get(), reason);
}

// Writes the picture to `name`, standard output for "-"; false, having said why, when it cannot.
bool writePicture(const std::string& name, const std::string& svg) {
  if (name != kStandardStream) {
    if (pitchtrack::writeOutputFile(name, svg).ok()) return true;
    std::fprintf(stderr, "pitchplot: cannot write %s\n", name.c_str());
    return false;
  }
  if (std::fwrite(svg.data(), 1, svg.size(), stdout) == svg.size() && std::fflush(stdout) == 0) {
    return true;
  }
  std::fprintf(stderr, "pitchplot: cannot write standard output: %s\n", std::strerror(errno));
  return false;
}

// Adds the notes of line.notesFile to `extras`; false, having said why, when it cannot.
bool addNotesFile(const PlotCommandLine& line, PlotExtras& extras) {
  if (line.notesFile.empty()) return true;
  std::string reason;
  const std::optional<std::string> text = readInput(line.notesFile, reason);
  const ParsedNotes parsed = text ? parseNotesFile(*text) : ParsedNotes{{}, reason};
  if (!parsed.ok()) {
    std::fprintf(stderr, "pitchplot: cannot read notes from %s: %s\n", line.notesFile.c_str(),
                 parsed.error.c_str());
    return false;
  }
  extras.notes.insert(extras.notes.end(), parsed.notes.begin(), parsed.notes.end());
  return true;
}

// The contour of line.pitchFile, or nothing having said why.
std::optional<ParsedContour> readContour(const std::string& pitchFile) {
  std::string reason;
  const std::optional<std::string> text = readInput(pitchFile, reason);
  if (!text) {
    std::fprintf(stderr, "pitchplot: cannot read pitch file %s: %s\n", pitchFile.c_str(),
                 reason.c_str());
    return std::nullopt;
  }
  ParsedContour parsed = parseContourFile(*text);
  if (!parsed.ok()) {
    std::fprintf(stderr, "pitchplot: %s is not a pitch file: %s\n", pitchFile.c_str(),
                 parsed.error.c_str());
    return std::nullopt;
  }
  return parsed;
}

int usageError(const char* program) {
  std::fprintf(stderr, "Usage: %s [OPTIONS] pitchFile svgFile\nTry '%s --help' for more.\n",
               program, program);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  // A failed write (a full disk, a file-size limit) is reported rather than fatal, and a signal
  // never leaves a temporary file behind.
  pitchtrack::openClosedStandardDescriptors();
  pitchtrack::protectOutputFiles();
  const PlotCommandLine line =
      parsePlotCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
  if (line.help) return writePicture(kStandardStream, plotHelpText()) ? 0 : kExitFailure;
  if (!line.ok()) return usageError(argc > 0 ? argv[0] : "pitchplot");

  const std::optional<ParsedContour> contour = readContour(line.pitchFile);
  if (!contour) return kExitFailure;
  PlotExtras extras = line.extras;
  if (!line.firstFrameGiven) extras.firstFrame = contour->firstFrame.value_or(0);
  if (!addNotesFile(line, extras)) return kExitFailure;
  const std::string title = line.pitchFile == kStandardStream ? "standard input" : line.pitchFile;
  return writePicture(line.svgFile, renderContourSvg(contour->values, title, extras))
             ? 0
             : kExitFailure;
}
