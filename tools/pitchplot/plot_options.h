// pitchplot's command line: -h or --help alone, or the options that add to the picture, then
// pitchFile and svgFile ("-" for standard input and output).
//
//   --first-frame N          the contour's first value belongs to frame N of the recording
//   --length SECONDS         the time axis reaches at least this far
//   --mark START,END,LABEL   shade the stretch START..END seconds and label it
//   --note START,END,SEMI    draw the note SEMI (60 = C4) sung from START to END seconds
//   --notes FILE             draw the notes of FILE (pitchtrack --notes, CSV or JSON)
#pragma once

#include <string>
#include <vector>

#include "contour_plot.h"

struct PlotCommandLine {
  bool help = false;  // -h or --help: the other fields are empty
  PlotExtras extras;
  bool firstFrameGiven = false;  // --first-frame: it wins over the one a CSV or JSON file gives
  std::string notesFile;         // empty: none
  std::string pitchFile;
  std::string svgFile;
  std::string error;  // empty when the command line is right

  bool ok() const { return error.empty(); }
};

PlotCommandLine parsePlotCommandLine(const std::vector<std::string>& arguments);

// What pitchplot --help prints: the usage, the inputs it reads, every option and the exit
// statuses, each line ended by "\n".
std::string plotHelpText();
