#include "plot_options.h"

#include <charconv>
#include <cstdlib>
#include <sstream>

namespace {

bool toDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

template <typename Integer>
bool toInteger(const std::string& text, Integer& value) {
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  return !text.empty() && error == std::errc() && end == last;
}

// "A,B,REST" split into its three fields (REST may hold commas).
bool threeFields(const std::string& text, std::string& a, std::string& b, std::string& rest) {
  const size_t first = text.find(',');
  if (first == std::string::npos) return false;
  const size_t second = text.find(',', first + 1);
  if (second == std::string::npos) return false;
  a = text.substr(0, first);
  b = text.substr(first + 1, second - first - 1);
  rest = text.substr(second + 1);
  return true;
}

bool parseMark(const std::string& text, PlotExtras& extras) {
  std::string a, b, label;
  PlotMark mark;
  if (!threeFields(text, a, b, label) || !toDouble(a, mark.start) || !toDouble(b, mark.end)) {
    return false;
  }
  mark.label = label;
  extras.marks.push_back(mark);
  return true;
}

bool parseNote(const std::string& text, PlotExtras& extras) {
  std::string a, b, semitone;
  PlotNote note;
  if (!threeFields(text, a, b, semitone) || !toDouble(a, note.start) || !toDouble(b, note.end) ||
      !toInteger(semitone, note.semitone)) {
    return false;
  }
  extras.notes.push_back(note);
  return true;
}

bool parseOption(const std::string& name, const std::string& value, PlotCommandLine& line) {
  PlotExtras& extras = line.extras;
  if (name == "--notes") {
    line.notesFile = value;
    return !value.empty();
  }
  if (name == "--first-frame") {
    line.firstFrameGiven = true;
    return toInteger(value, extras.firstFrame) && extras.firstFrame >= 0;
  }
  if (name == "--length") return toDouble(value, extras.seconds) && extras.seconds >= 0;
  if (name == "--mark") return parseMark(value, extras);
  if (name == "--note") return parseNote(value, extras);
  return false;
}

}  // namespace

PlotCommandLine parsePlotCommandLine(const std::vector<std::string>& arguments) {
  PlotCommandLine line;
  if (arguments.size() == 1 && (arguments[0] == "-h" || arguments[0] == "--help")) {
    line.help = true;
    return line;
  }
  size_t i = 0;
  for (; i + 2 < arguments.size(); i += 2) {
    if (!parseOption(arguments[i], arguments[i + 1], line)) {
      line.error = "bad option " + arguments[i] + " " + arguments[i + 1];
      return line;
    }
  }
  if (arguments.size() - i != 2) {
    line.error = "expected pitchFile and svgFile";
    return line;
  }
  line.pitchFile = arguments[i];
  line.svgFile = arguments[i + 1];
  if (line.pitchFile == "-" && line.notesFile == "-") {
    line.error = "standard input can feed pitchFile or --notes, not both";
  }
  return line;
}

std::string plotHelpText() {
  return R"(Usage: pitchplot [OPTIONS] pitchFile svgFile
Draws a pitch contour as an SVG picture: time in seconds along the bottom, notes up the side,
frames without pitch as gaps.

pitchFile is what pitchtrack writes, told by its content: the pitch file's line of values
joined by "+", or the CSV of --format=csv or the JSON of --format=json (also of --live),
which also place the contour in its recording (their first frame). "-" as pitchFile reads standard input; "-" as
svgFile writes the picture to standard output.

Options, each with its value as the next argument, before the two files:
  --first-frame N          the contour's first value belongs to frame N of the recording
                           (default: the first frame of a CSV or JSON file, else 0)
  --length SECONDS         the time axis reaches at least this far
  --mark START,END,LABEL   shade the stretch START..END seconds and label it
  --note START,END,SEMI    draw the note SEMI (60 = C4) sung from START to END seconds
  --notes FILE             draw the notes of FILE (pitchtrack --notes, CSV or JSON; "-" reads
                           standard input)
  -h, --help               this text

Exit status: 0 when the picture was written; 1 when pitchFile or the notes cannot be read or
are not what pitchtrack writes, or the picture cannot be written; 2 for a wrong command line.
)";
}
