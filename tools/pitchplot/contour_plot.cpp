#include "contour_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kFrameSeconds = 0.032;

// Page layout, in pixels.
constexpr double kLeft = 84;    // note labels and the pitch axis title
constexpr double kRight = 28;   // room for the round cap of the last point
constexpr double kTop = 70;     // title and summary line
constexpr double kBottom = 60;  // time labels and the time axis title
constexpr double kPixelsPerFrame = 4;
constexpr double kMinPlotWidth = 720;
constexpr double kMaxPlotWidth = 2400;
constexpr double kPixelsPerSemitone = 24;
constexpr double kMinPlotHeight = 320;
constexpr double kMaxPlotHeight = 640;
constexpr double kMinTickSpacing = 80;  // pixels between two time labels at least

// Pitch range shown: the contour's, widened by a margin, at least an octave.
constexpr int32_t kMarginSemitones = 2;
constexpr int32_t kMinSpan = 12;
constexpr int32_t kEveryNoteSpan = 24;  // up to this span every semitone gets its name
constexpr int32_t kFineGridSpan = 96;   // up to this span every semitone gets a grid line
constexpr int32_t kMaxOctaveLines = 20;
// Without pitch the axes show C3..C5.
constexpr int32_t kEmptyLow = 48;
constexpr int32_t kEmptyHigh = 72;

constexpr const char* kInk = "#222222";
constexpr const char* kMuted = "#666666";
constexpr const char* kContourColour = "#1b5fc1";
constexpr const char* kDotWidth = "7";

std::string number(double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f", value);
  return text.data();
}

// The length of the valid UTF-8 sequence at the start of `text`, or 0 when it is not one.
size_t utf8SequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  uint32_t codePoint = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0u) != 0x80u) return 0;
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (overlong || surrogate || codePoint > 0x10FFFF) return 0;
  return length;
}

// `text` as XML character data: markup characters escaped, invalid UTF-8 and control
// characters (which XML 1.0 forbids) replaced by '?'.
std::string xmlText(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const size_t length = utf8SequenceLength(text);
    if (length == 0) {
      out += '?';
      text.remove_prefix(1);
      continue;
    }
    if (length == 1) {
      const char c = text[0];
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&apos;";
          break;
        default:
          out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
      }
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

// Seconds between two time labels: a round step that keeps the labels kMinTickSpacing apart.
double timeStep(double seconds, double width) {
  static constexpr std::array<double, 13> kSteps = {0.1,  0.2,  0.5,  1,     2,    5,   10,
                                                    15.0, 30.0, 60.0, 120.0, 300., 600.};
  const double maxTicks = std::max(1.0, width / kMinTickSpacing);
  for (const double step : kSteps) {
    if (seconds / step <= maxTicks) return step;
  }
  double step = kSteps.back();
  while (seconds / step > maxTicks) step *= 2;
  return step;
}

std::string secondsLabel(double seconds) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.6g", seconds);
  return text.data();
}

bool isSharp(int32_t semitone) {
  const int32_t pitchClass = ((semitone % 12) + 12) % 12;
  return pitchClass == 1 || pitchClass == 3 || pitchClass == 6 || pitchClass == 8 ||
         pitchClass == 10;
}

// Where everything goes on the page.
struct Frame {
  size_t frames = 0;
  int32_t low = 0;  // semitone at the bottom edge
  int32_t high = 0;
  double seconds = 0;  // time at the right edge
  double width = 0;    // of the plot area
  double height = 0;

  double x(double t) const { return kLeft + t / seconds * width; }
  double y(double semitone) const { return kTop + (high - semitone) / (high - low) * height; }
  double pageWidth() const { return kLeft + width + kRight; }
  double pageHeight() const { return kTop + height + kBottom; }
};

struct Summary {
  size_t pitched = 0;
  int32_t lowest = 0;  // whole semitones of the pitched values
  int32_t highest = 0;
};

Summary summarise(std::span<const int32_t> contour) {
  Summary summary;
  for (const int32_t value : contour) {
    if (value == 0) continue;
    const auto semitone = static_cast<int32_t>(std::floor(value / 10.0));
    if (summary.pitched == 0 || semitone < summary.lowest) summary.lowest = semitone;
    if (summary.pitched == 0 || semitone > summary.highest) summary.highest = semitone;
    ++summary.pitched;
  }
  return summary;
}

// The contour's summary widened to the notes that were sung.
Summary withNotes(Summary summary, const std::vector<PlotNote>& notes) {
  for (const PlotNote& note : notes) {
    if (summary.pitched == 0 || note.semitone < summary.lowest) summary.lowest = note.semitone;
    if (summary.pitched == 0 || note.semitone > summary.highest) summary.highest = note.semitone;
    summary.pitched = std::max<size_t>(summary.pitched, 1);
  }
  return summary;
}

Frame layOut(std::span<const int32_t> contour, const Summary& summary, const PlotExtras& extras) {
  Frame frame;
  frame.frames = contour.size();
  if (summary.pitched > 0) {
    frame.low = summary.lowest - kMarginSemitones;
    frame.high = summary.highest + 1 + kMarginSemitones;
  } else {
    frame.low = kEmptyLow;
    frame.high = kEmptyHigh;
  }
  if (frame.high - frame.low < kMinSpan) {
    const int32_t grow = kMinSpan - (frame.high - frame.low);
    frame.low -= grow / 2;
    frame.high += grow - grow / 2;
  }
  const auto frames = static_cast<double>(static_cast<int64_t>(contour.size()) + extras.firstFrame);
  frame.seconds = frames == 0 ? 1.0 : frames * kFrameSeconds;
  frame.seconds = std::max(frame.seconds, extras.seconds);
  const double shownFrames = std::max(frames, extras.seconds / kFrameSeconds);
  frame.width = std::clamp(shownFrames * kPixelsPerFrame, kMinPlotWidth, kMaxPlotWidth);
  frame.height =
      std::clamp((frame.high - frame.low) * kPixelsPerSemitone, kMinPlotHeight, kMaxPlotHeight);
  return frame;
}

void drawTitle(std::string& svg, const Frame& frame, const Summary& summary,
               std::string_view title) {
  svg += "<title>Pitch contour of " + xmlText(title) + "</title>\n";
  svg += "<text x=\"" + number(kLeft) + "\" y=\"30\" font-size=\"19\" font-weight=\"bold\">" +
         "Pitch contour of " + xmlText(title) + "</text>\n";
  std::string facts = std::to_string(frame.frames) + " frames of 32 ms, " +
                      secondsLabel(std::round(frame.frames * kFrameSeconds * 100) / 100) + " s";
  if (summary.pitched > 0) {
    facts += ", " + std::to_string(summary.pitched) + " pitched, from " + noteName(summary.lowest) +
             " to " + noteName(summary.highest);
  }
  svg += "<text x=\"" + number(kLeft) + "\" y=\"52\" font-size=\"13\" fill=\"" + kMuted + "\">" +
         facts + "</text>\n";
}

void drawPitchGrid(std::string& svg, const Frame& frame) {
  const int32_t span = frame.high - frame.low;
  const double left = kLeft;
  const double right = kLeft + frame.width;
  if (span <= kEveryNoteSpan) {
    for (int32_t s = frame.low; s <= frame.high; ++s) {
      if (isSharp(s)) {
        const double top = std::max(frame.y(s + 0.5), kTop);
        const double bottom = std::min(frame.y(s - 0.5), kTop + frame.height);
        svg += "<rect x=\"" + number(left) + "\" y=\"" + number(top) + "\" width=\"" +
               number(frame.width) + "\" height=\"" + number(bottom - top) +
               "\" fill=\"#f1f3f6\"/>\n";
      }
    }
  }
  // Every C gets a darker line and a label. A small range gets a line and a label for every
  // semitone, a wider one faint semitone lines, a very wide one lines at whole octaves only.
  int32_t step = 1;
  if (span > kFineGridSpan) {
    step = 12 * std::max(1, (span / 12 + kMaxOctaveLines - 1) / kMaxOctaveLines);
  }
  const int32_t first = step == 1 ? frame.low : (frame.low + step - 1) / step * step;
  for (int32_t s = first; s <= frame.high; s += step) {
    const bool isC = ((s % 12) + 12) % 12 == 0;
    const double y = frame.y(s);
    svg += "<line x1=\"" + number(left) + "\" y1=\"" + number(y) + "\" x2=\"" + number(right) +
           "\" y2=\"" + number(y) + "\" stroke=\"" +
           (isC                      ? "#9aa3ad"
            : span <= kEveryNoteSpan ? "#dde1e6"
                                     : "#eceef1") +
           "\" stroke-width=\"" + (isC ? "1.2" : "0.8") + "\"/>\n";
    if (isC || span <= kEveryNoteSpan) {
      svg += "<text x=\"" + number(left - 8) + "\" y=\"" + number(y + 4) +
             "\" font-size=\"12\" text-anchor=\"end\"" +
             (isC ? " font-weight=\"bold\" fill=\"" + std::string(kInk) + "\""
                  : " fill=\"" + std::string(kMuted) + "\"") +
             ">" + noteName(s) + "</text>\n";
    }
  }
}

void drawTimeAxis(std::string& svg, const Frame& frame) {
  const double step = timeStep(frame.seconds, frame.width);
  const double bottom = kTop + frame.height;
  for (int64_t k = 0; k * step <= frame.seconds + 1e-9; ++k) {
    const double t = static_cast<double>(k) * step;
    const double x = frame.x(t);
    svg += "<line x1=\"" + number(x) + "\" y1=\"" + number(kTop) + "\" x2=\"" + number(x) +
           "\" y2=\"" + number(bottom + 5) + "\" stroke=\"#dde1e6\" stroke-width=\"0.8\"/>\n";
    svg += "<text x=\"" + number(x) + "\" y=\"" + number(bottom + 20) +
           "\" font-size=\"12\" text-anchor=\"middle\" fill=\"" + kInk + "\">" + secondsLabel(t) +
           "</text>\n";
  }
}

void drawAxes(std::string& svg, const Frame& frame) {
  svg += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(kTop) + "\" width=\"" +
         number(frame.width) + "\" height=\"" + number(frame.height) +
         "\" fill=\"none\" stroke=\"" + kInk + "\" stroke-width=\"1\"/>\n";
  svg += "<text x=\"" + number(kLeft + frame.width / 2) + "\" y=\"" +
         number(frame.pageHeight() - 14) + "\" font-size=\"13\" text-anchor=\"middle\" fill=\"" +
         kInk + "\">time (s)</text>\n";
  const double middle = kTop + frame.height / 2;
  svg += "<text x=\"18\" y=\"" + number(middle) + "\" font-size=\"13\" text-anchor=\"middle\"" +
         " fill=\"" + kInk + "\" transform=\"rotate(-90 18 " + number(middle) +
         ")\">pitch (note)</text>\n";
}

void drawMarks(std::string& svg, const Frame& frame, const std::vector<PlotMark>& marks) {
  for (const PlotMark& mark : marks) {
    const double left = frame.x(mark.start);
    svg += "<rect class=\"mark\" x=\"" + number(left) + "\" y=\"" + number(kTop) + "\" width=\"" +
           number(frame.x(mark.end) - left) + "\" height=\"" + number(frame.height) +
           "\" fill=\"#f5a623\" fill-opacity=\"0.25\"/>\n";
    // A label in the right half of the plot ends at the mark's right edge, so that it stays
    // inside the picture.
    const bool rightHalf = left > kLeft + frame.width / 2;
    const double anchor = rightHalf ? frame.x(mark.end) - 4 : left + 4;
    svg += "<text x=\"" + number(anchor) + "\" y=\"" + number(kTop + 16) +
           "\" font-size=\"12\" fill=\"#8a5a00\"" + (rightHalf ? " text-anchor=\"end\"" : "") +
           ">" + xmlText(mark.label) + "</text>\n";
  }
}

void drawNotes(std::string& svg, const Frame& frame, const std::vector<PlotNote>& notes) {
  for (const PlotNote& note : notes) {
    const double y = frame.y(note.semitone);
    svg += "<line class=\"sung\" x1=\"" + number(frame.x(note.start)) + "\" y1=\"" + number(y) +
           "\" x2=\"" + number(frame.x(note.end)) + "\" y2=\"" + number(y) +
           "\" stroke=\"#9aa3ad\" stroke-width=\"9\" stroke-opacity=\"0.6\"/>\n";
  }
}

void drawContour(std::string& svg, const Frame& frame, std::span<const int32_t> contour,
                 int64_t firstFrame) {
  svg += std::string("<g fill=\"none\" stroke=\"") + kContourColour +
         "\" stroke-width=\"3\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
  size_t i = 0;
  while (i < contour.size()) {
    if (contour[i] == 0) {
      ++i;
      continue;
    }
    std::string d;
    const size_t start = i;
    for (; i < contour.size() && contour[i] != 0; ++i) {
      const auto at = static_cast<double>(static_cast<int64_t>(i) + firstFrame);
      d += (i == start ? "M" : " L") + number(frame.x(at * kFrameSeconds)) + "," +
           number(frame.y(contour[i] / 10.0));
    }
    // A lone frame is a zero-length line, which the round cap draws as a dot.
    const bool lone = i - start == 1;
    if (lone) d += " h0";
    svg += "<path class=\"voiced\" d=\"" + d + "\"" +
           (lone ? std::string(" stroke-width=\"") + kDotWidth + "\"" : std::string()) + "/>\n";
  }
  svg += "</g>\n";
}

}  // namespace

std::string noteName(int32_t semitone) {
  static constexpr std::array<const char*, 12> kNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                         "F#", "G",  "G#", "A",  "A#", "B"};
  const int32_t pitchClass = ((semitone % 12) + 12) % 12;
  const int32_t octave = (semitone - pitchClass) / 12 - 1;
  return std::string(kNames[static_cast<size_t>(pitchClass)]) + std::to_string(octave);
}

std::string renderContourSvg(std::span<const int32_t> contour, std::string_view title) {
  return renderContourSvg(contour, title, PlotExtras{});
}

std::string renderContourSvg(std::span<const int32_t> contour, std::string_view title,
                             const PlotExtras& extras) {
  const Summary summary = summarise(contour);
  const Frame frame = layOut(contour, withNotes(summary, extras.notes), extras);
  const std::string width = number(frame.pageWidth());
  const std::string height = number(frame.pageHeight());

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
         "\" viewBox=\"0 0 " + width + " " + height +
         "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n";
  svg += "<rect width=\"" + width + "\" height=\"" + height + "\" fill=\"white\"/>\n";
  drawTitle(svg, frame, summary, title);
  drawPitchGrid(svg, frame);
  drawTimeAxis(svg, frame);
  drawAxes(svg, frame);
  drawMarks(svg, frame, extras.marks);
  drawNotes(svg, frame, extras.notes);
  if (summary.pitched == 0) {
    const double middle = kTop + frame.height / 2;
    svg += "<rect x=\"" + number(kLeft + frame.width / 2 - 90) + "\" y=\"" + number(middle - 24) +
           "\" width=\"180\" height=\"48\" rx=\"6\" fill=\"white\" stroke=\"#c8ccd2\"/>\n";
    svg += "<text x=\"" + number(kLeft + frame.width / 2) + "\" y=\"" + number(middle + 10) +
           "\" font-size=\"28\" text-anchor=\"middle\"" + " fill=\"" + kMuted +
           "\">no pitch</text>\n";
  } else {
    drawContour(svg, frame, contour, extras.firstFrame);
  }
  svg += "</svg>\n";
  return svg;
}
