#include "output_format.h"

#include <cstdio>
#include <string_view>

#include "utf8.h"

namespace pitchtrack::cli {

namespace {

// Start of frame `frame` in seconds, exactly: frames are 32 ms.
std::string secondsOf(int64_t frame) {
  const int64_t milliseconds = frame * kFrameMilliseconds;
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(milliseconds / 1000),
                static_cast<long long>(milliseconds % 1000));
  return text;
}

void appendUnicodeEscape(std::string& out, unsigned char byte) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
  out += escaped;
}

// A JSON string: quotes, backslashes and control characters escaped, well-formed UTF-8 as it is.
// A byte that is not part of well-formed UTF-8 (a Latin-1 file name, say) is written as the
// character of the same number, \u0080 to \u00ff: the name reads as Latin-1 and the document
// stays valid JSON.
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const size_t length = utf8SequenceLength(std::string_view(text).substr(i));
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (length == 0 || static_cast<unsigned char>(c) < 0x20) {
      appendUnicodeEscape(out, static_cast<unsigned char>(c));
    } else {
      out.append(text, i, length);
      i += length;
      continue;
    }
    ++i;
  }
  return out + "\"";
}

// Whether the contour comes from the precise analysis, which measures Hz and a confidence.
bool measured(const Contour& contour) { return contour.confidence.size() == contour.size(); }

std::string confidenceOf(const Contour& contour, size_t i) {
  char text[16];
  std::snprintf(text, sizeof text, "%.3f", contour.confidence[i]);
  return text;
}

// The precise analysis' measured frequencies and confidences, as JSON members.
std::string preciseArrays(const Contour& contour) {
  std::string hz = ", \"hz\": [";
  std::string confidence = ", \"confidence\": [";
  for (size_t i = 0; i < contour.size(); ++i) {
    char value[48];
    std::snprintf(value, sizeof value, "%s%.3f", i > 0 ? ", " : "", contour.hz[i]);
    hz += value;
    std::snprintf(value, sizeof value, "%s%.3f", i > 0 ? ", " : "", contour.confidence[i]);
    confidence += value;
  }
  return hz + "]" + confidence + "]";
}

}  // namespace

std::string formatCsv(const Contour& contour) {
  const bool precise = measured(contour) && !contour.empty();
  std::string text =
      precise ? "frame,seconds,value,hz,midi,confidence\n" : "frame,seconds,value,hz,midi\n";
  for (size_t i = 0; i < contour.size(); ++i) {
    const int64_t frame = contour.firstFrame + static_cast<int64_t>(i);
    text += std::to_string(frame) + "," + secondsOf(frame) + ",";
    if (contour.values[i] != 0) {
      char pitch[64];
      std::snprintf(pitch, sizeof pitch, "%d,%.3f,%.1f", contour.values[i], contour.frequencyHz(i),
                    contour.midiNote(i));
      text += pitch;
    } else {
      text += ",,";
    }
    if (precise) {
      text += ',';
      if (contour.values[i] != 0) text += confidenceOf(contour, i);
    }
    text += "\n";
  }
  return text;
}

std::string formatJson(const Contour& contour, const std::string& fileName) {
  std::string text =
      "{\"file\": " + jsonString(fileName) +
      ", \"frame_seconds\": 0.032, \"first_frame\": " + std::to_string(contour.firstFrame) +
      ", \"values\": [";
  for (size_t i = 0; i < contour.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(contour.values[i]);
  }
  text += "]";
  if (measured(contour) && !contour.empty()) text += preciseArrays(contour);
  return text + "}\n";
}

std::string formatOutput(OutputFormat format, const Contour& contour, const std::string& fileName) {
  switch (format) {
    case OutputFormat::kCsv:
      return formatCsv(contour);
    case OutputFormat::kJson:
      return formatJson(contour, fileName);
    case OutputFormat::kLine:
      break;
  }
  return formatContour(contour);
}

const char* outputExtension(OutputFormat format) {
  switch (format) {
    case OutputFormat::kCsv:
      return ".csv";
    case OutputFormat::kJson:
      return ".json";
    case OutputFormat::kLine:
      break;
  }
  return ".pitch";
}

}  // namespace pitchtrack::cli
