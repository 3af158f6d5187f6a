#include "contour_file.h"

#include <algorithm>
#include <charconv>

namespace {

// A short printable quotation of a token for an error message, in parentheses.
std::string quoted(std::string_view token) {
  constexpr size_t kLongest = 24;
  std::string out = "(\"";
  for (const char c : token.substr(0, kLongest)) {
    out += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  if (token.size() > kLongest) out += "...";
  return out + "\")";
}

// `token` as a non-negative integer of type T, or nothing with `problem` saying why ("(\"5x\")
// is not a non-negative integer", "(\"9999999999\") is too large").
template <typename T>
std::optional<T> nonNegative(std::string_view token, std::string& problem) {
  const bool digits = !token.empty() && std::all_of(token.begin(), token.end(),
                                                    [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) {
    problem = quoted(token) + " is not a non-negative integer";
    return std::nullopt;
  }
  T value = 0;
  if (std::from_chars(token.data(), token.data() + token.size(), value).ec != std::errc()) {
    problem = quoted(token) + " is too large";
    return std::nullopt;
  }
  return value;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t end = std::min(text.find(separator, start), text.size());
    parts.push_back(text.substr(start, end - start));
    if (end == text.size()) return parts;
    start = end + 1;
  }
}

// The lines of a text, without their "\n" or "\r\n", and without the empty line after a final
// line end. A "\r" without "\n" after it stays.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines = split(text, '\n');
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].ends_with('\r')) lines[i].remove_suffix(1);
  }
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

// Frame `frame` of value `value` after the frames of `out`; the reason when it does not follow
// them.
std::string appendFrame(int64_t frame, int32_t value, ParsedContour& out) {
  if (!out.firstFrame) out.firstFrame = frame;
  const int64_t due = *out.firstFrame + static_cast<int64_t>(out.values.size());
  if (frame != due) {
    return "frame " + std::to_string(frame) + " where frame " + std::to_string(due) + " was due";
  }
  out.values.push_back(value);
  return "";
}

// Where the CSV keeps the frame and the value, or the name of a missing column.
struct CsvColumns {
  size_t frame = 0;
  size_t value = 0;
  std::string missing;
};

CsvColumns csvColumns(std::string_view header) {
  const std::vector<std::string_view> names = split(header, ',');
  CsvColumns columns;
  const auto find = [&](std::string_view name, size_t& column) {
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) columns.missing = "no column " + std::string(name);
    column = static_cast<size_t>(at - names.begin());
  };
  find("value", columns.value);
  find("frame", columns.frame);
  return columns;
}

// One row of the CSV into `out`; the reason when it is not a frame that follows the last.
std::string readCsvRow(std::string_view row, const CsvColumns& columns, ParsedContour& out) {
  const std::vector<std::string_view> fields = split(row, ',');
  if (fields.size() <= std::max(columns.frame, columns.value)) return "too few fields";
  std::string problem;
  const std::optional<int64_t> frame = nonNegative<int64_t>(fields[columns.frame], problem);
  if (!frame) return "frame " + problem;
  const std::string_view text = fields[columns.value];
  const std::optional<int32_t> value = text.empty() ? 0 : nonNegative<int32_t>(text, problem);
  if (!value) return "value " + problem;
  return appendFrame(*frame, *value, out);
}

// A cursor over JSON text that reads the few shapes a contour's JSON has and skips the rest.
class JsonCursor {
 public:
  explicit JsonCursor(std::string_view text) : text_(text) {}

  // Skips white space, then takes `c` when it comes next.
  bool take(char c) {
    skipSpace();
    if (at_ == text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  // A string's text as written (escapes kept), after white space; nothing when none comes.
  std::optional<std::string_view> string() {
    if (!take('"')) return std::nullopt;
    const size_t start = at_;
    for (; at_ < text_.size() && text_[at_] != '"'; ++at_) {
      if (text_[at_] == '\\') ++at_;
    }
    if (at_ >= text_.size()) return std::nullopt;
    return text_.substr(start, at_++ - start);
  }
  // A number or literal as written, after white space.
  std::string_view scalar() {
    skipSpace();
    const size_t start = at_;
    at_ = std::min(text_.find_first_of(",]} \t\r\n", at_), text_.size());
    return text_.substr(start, at_ - start);
  }
  // Skips one value of any shape; false when there is none or the text ends inside it.
  bool skipValue() {
    skipSpace();
    const char first = at_ < text_.size() ? text_[at_] : '\0';
    if (first == '"') return string().has_value();
    if (first != '[' && first != '{') return !scalar().empty();
    int depth = 0;
    do {
      if (at_ >= text_.size()) return false;
      const char c = text_[at_];
      if (c == '"') {
        if (!string()) return false;
        continue;
      }
      depth += (c == '[' || c == '{') ? 1 : (c == ']' || c == '}') ? -1 : 0;
      ++at_;
    } while (depth > 0);
    return true;
  }
  size_t offset() const { return at_; }

 private:
  void skipSpace() { at_ = std::min(text_.find_first_not_of(" \t\r\n", at_), text_.size()); }

  std::string_view text_;
  size_t at_ = 0;
};

// The array of values at the cursor into `out`; the reason when it is not one.
std::string readJsonValues(JsonCursor& json, ParsedContour& out) {
  if (!json.take('[')) return "\"values\" is not an array";
  if (json.take(']')) return "";
  do {
    std::string problem;
    const std::optional<int32_t> value = nonNegative<int32_t>(json.scalar(), problem);
    if (!value) return "value " + std::to_string(out.values.size() + 1) + " " + problem;
    out.values.push_back(*value);
  } while (json.take(','));
  return json.take(']') ? "" : "\"values\" is not closed";
}

// Reads the object at the cursor, handing each member's name to `member`, which reads its value
// and returns the reason it is wrong, or "".
template <typename Member>
std::string readObject(JsonCursor& json, Member member) {
  if (!json.take('{')) return "not a JSON object";
  if (json.take('}')) return "";
  do {
    const std::optional<std::string_view> name = json.string();
    if (!name || !json.take(':')) {
      return "no member name at byte " + std::to_string(json.offset() + 1);
    }
    const std::string problem = member(*name);
    if (!problem.empty()) return problem;
  } while (json.take(','));
  return json.take('}') ? "" : "malformed at byte " + std::to_string(json.offset() + 1);
}

std::string skipMember(JsonCursor& json) {
  return json.skipValue() ? "" : "the text ends inside a member";
}

// A member holding a non-negative integer into `value`; the reason when it holds none.
template <typename T>
std::string readInteger(std::string_view name, JsonCursor& json, std::optional<T>& value) {
  std::string problem;
  value = nonNegative<T>(json.scalar(), problem);
  return value ? "" : std::string(name) + " " + problem;
}

// One line of the live JSON ({"frame": 3, "value": 480, ...}) into `out`.
std::string readJsonFrame(std::string_view line, ParsedContour& out) {
  JsonCursor json(line);
  std::optional<int64_t> frame;
  std::optional<int32_t> value;
  const std::string problem = readObject(json, [&](std::string_view name) {
    if (name == "frame") return readInteger(name, json, frame);
    if (name == "value") return readInteger(name, json, value);
    return skipMember(json);
  });
  if (!problem.empty()) return problem;
  if (!frame || !value) return "no \"frame\" and \"value\" members";
  return appendFrame(*frame, *value, out);
}

}  // namespace

ParsedContour parsePitchLine(std::string_view text) {
  ParsedContour result;
  const std::vector<std::string_view> lines = linesOf(text);
  if (lines.size() > 1) {
    result.error = "more than one line";
    return result;
  }
  const std::string_view line = lines.front();
  if (line.empty()) return result;
  const std::vector<std::string_view> tokens = split(line, '+');
  for (size_t i = 0; i < tokens.size() && result.ok(); ++i) {
    const std::string where = "value " + std::to_string(i + 1);
    std::string problem;
    const std::optional<int32_t> value = nonNegative<int32_t>(tokens[i], problem);
    if (tokens[i].empty()) result.error = where + " is empty";
    if (!tokens[i].empty() && !value) result.error = where + " " + problem;
    if (value) result.values.push_back(*value);
  }
  return result;
}

ParsedContour parseContourCsv(std::string_view text) {
  ParsedContour out;
  const std::vector<std::string_view> lines = linesOf(text);
  const CsvColumns columns = csvColumns(lines.front());
  out.error = columns.missing;
  for (size_t row = 1; out.ok() && row < lines.size(); ++row) {
    const std::string problem = readCsvRow(lines[row], columns, out);
    if (!problem.empty()) out.error = "row " + std::to_string(row) + ": " + problem;
  }
  return out;
}

ParsedContour parseContourJson(std::string_view text) {
  ParsedContour out;
  JsonCursor json(text);
  bool sawValues = false;
  out.error = readObject(json, [&](std::string_view name) {
    if (name == "first_frame") return readInteger(name, json, out.firstFrame);
    if (name != "values") return skipMember(json);
    sawValues = true;
    return readJsonValues(json, out);
  });
  if (out.ok() && !sawValues) out.error = "no \"values\" member";
  return out;
}

ParsedContour parseContourJsonLines(std::string_view text) {
  ParsedContour out;
  const std::vector<std::string_view> lines = linesOf(text);
  for (size_t line = 0; out.ok() && line < lines.size(); ++line) {
    const std::string problem = readJsonFrame(lines[line], out);
    if (!problem.empty()) out.error = "line " + std::to_string(line + 1) + ": " + problem;
  }
  return out;
}

ParsedContour parseContourFile(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  ParsedContour parsed;
  if (first != std::string_view::npos && text[first] == '{') {
    parsed = parseContourJson(text);
    // Not one object with the values: the lines of a live run, each a frame, if they parse.
    if (!parsed.ok()) {
      const ParsedContour lines = parseContourJsonLines(text);
      if (lines.ok()) return lines;
      parsed.error = "JSON: " + parsed.error;
    }
  } else if (text.starts_with("frame,")) {
    parsed = parseContourCsv(text);
    if (!parsed.ok()) parsed.error = "CSV: " + parsed.error;
  } else {
    parsed = parsePitchLine(text);
  }
  return parsed;
}
