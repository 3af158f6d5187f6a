#include "output_format.h"

#include <cstdio>
#include <string_view>

#include "midi_file.h"
#include "note_format.h"
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

std::string csvHeader(bool precise) {
  return precise ? "frame,seconds,value,hz,midi,confidence\n" : "frame,seconds,value,hz,midi\n";
}

// One CSV row; the last three fields (four with the confidence) are empty without pitch.
std::string csvRow(const Frame& frame, bool precise) {
  std::string text = std::to_string(frame.index) + "," + secondsOf(frame.index) + ",";
  char pitch[96] = "";
  if (frame.value != 0) {
    std::snprintf(pitch, sizeof pitch, precise ? "%d,%.3f,%.1f,%.3f" : "%d,%.3f,%.1f", frame.value,
                  frame.hz, frame.value / 10.0, frame.confidence);
  } else {
    std::snprintf(pitch, sizeof pitch, precise ? ",,," : ",,");
  }
  return text + pitch + "\n";
}

// One frame as a JSON object, its numbers written as the whole-contour JSON writes them.
std::string jsonObject(const Frame& frame) {
  char text[160];
  std::snprintf(text, sizeof text,
                "{\"frame\": %lld, \"seconds\": %s, \"value\": %d, \"hz\": %.3f, "
                "\"confidence\": %.3f}\n",
                static_cast<long long>(frame.index), secondsOf(frame.index).c_str(), frame.value,
                frame.hz, frame.confidence);
  return text;
}

}  // namespace

std::string formatCsv(const Contour& contour) {
  const bool precise = measured(contour) && !contour.empty();
  std::string text = csvHeader(precise);
  for (size_t i = 0; i < contour.size(); ++i) {
    const Frame frame{.index = contour.firstFrame + static_cast<int64_t>(i),
                      .value = contour.values[i],
                      .hz = contour.frequencyHz(i),
                      .confidence = precise ? contour.confidence[i] : 0.0};
    text += csvRow(frame, precise);
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

std::string formatLiveHeader(OutputFormat format) {
  if (format == OutputFormat::kCsv) return csvHeader(true);
  return format == OutputFormat::kNotesCsv ? noteCsvHeader() : std::string();
}

std::string formatLiveNote(OutputFormat format, const Note& note) {
  switch (format) {
    case OutputFormat::kNotesCsv:
      return noteCsvRow(note);
    case OutputFormat::kNotesJson:
      return noteJsonObject(note) + "\n";
    default:
      return noteLine(note);
  }
}

std::string formatLiveFrame(OutputFormat format, const Frame& frame) {
  switch (format) {
    case OutputFormat::kCsv:
      return csvRow(frame, true);
    case OutputFormat::kJson:
      return jsonObject(frame);
    default:
      return std::to_string(frame.value) + "\n";
  }
}

std::string formatOutput(OutputFormat format, const Contour& contour, const std::string& fileName) {
  switch (format) {
    case OutputFormat::kCsv:
      return formatCsv(contour);
    case OutputFormat::kJson:
      return formatJson(contour, fileName);
    case OutputFormat::kNotesLine:
      return formatNoteLines(contour.notes);
    case OutputFormat::kNotesCsv:
      return formatNoteCsv(contour.notes);
    case OutputFormat::kNotesJson:
      return formatNoteJson(contour.notes, jsonString(fileName));
    case OutputFormat::kNotesMidi:
      return midiFile(contour.notes);
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
    case OutputFormat::kNotesLine:
      return ".notes";
    case OutputFormat::kNotesCsv:
      return ".notes.csv";
    case OutputFormat::kNotesJson:
      return ".notes.json";
    case OutputFormat::kNotesMidi:
      return ".mid";
    case OutputFormat::kLine:
      break;
  }
  return ".pitch";
}

}  // namespace pitchtrack::cli
