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
  if (name == "--first-frame") return toInteger(value, extras.firstFrame) && extras.firstFrame >= 0;
  if (name == "--length") return toDouble(value, extras.seconds) && extras.seconds >= 0;
  if (name == "--mark") return parseMark(value, extras);
  if (name == "--note") return parseNote(value, extras);
  return false;
}

}  // namespace

PlotCommandLine parsePlotCommandLine(const std::vector<std::string>& arguments) {
  PlotCommandLine line;
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
  return line;
}
