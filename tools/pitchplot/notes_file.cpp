#include "notes_file.h"

#include <cstdlib>
#include <optional>

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::optional<double> number(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end == copy.c_str()) return std::nullopt;
  return value;
}

std::optional<PlotNote> noteOf(std::optional<double> onset, std::optional<double> offset,
                               std::optional<double> semitone) {
  if (!onset || !offset || !semitone) return std::nullopt;
  return PlotNote{*onset, *offset, static_cast<int32_t>(*semitone)};
}

ParsedNotes parseCsv(std::string_view text) {
  ParsedNotes out;
  std::vector<std::string_view> lines = split(text, '\n');
  const std::vector<std::string_view> header = split(lines.front(), ',');
  size_t columns[3] = {header.size(), header.size(), header.size()};
  const char* names[3] = {"onset", "offset", "note"};
  for (size_t i = 0; i < header.size(); ++i) {
    for (size_t k = 0; k < 3; ++k) {
      if (header[i] == names[k]) columns[k] = i;
    }
  }
  for (size_t k = 0; k < 3; ++k) {
    if (columns[k] == header.size()) out.error = std::string("no column ") + names[k];
  }
  for (size_t row = 1; out.ok() && row < lines.size(); ++row) {
    if (lines[row].empty()) continue;
    const std::vector<std::string_view> fields = split(lines[row], ',');
    const auto field = [&](size_t k) {
      return columns[k] < fields.size() ? number(fields[columns[k]]) : std::nullopt;
    };
    const std::optional<PlotNote> note = noteOf(field(0), field(1), field(2));
    if (!note) out.error = "row " + std::to_string(row) + " is not a note";
    if (note) out.notes.push_back(*note);
  }
  return out;
}

// The number after "name": inside `object`.
std::optional<double> member(std::string_view object, std::string_view name) {
  std::string key(1, '"');
  key.append(name);
  key.append("\":");
  const size_t at = object.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  return number(object.substr(at + key.size()));
}

ParsedNotes parseJson(std::string_view text) {
  ParsedNotes out;
  const size_t list = text.find("\"notes\":");
  if (list == std::string_view::npos) {
    out.error = "no \"notes\" member";
    return out;
  }
  for (size_t start = text.find('{', list); start != std::string_view::npos;
       start = text.find('{', start + 1)) {
    const size_t end = text.find('}', start);
    const std::string_view object = text.substr(start, end - start);
    const std::optional<PlotNote> note =
        noteOf(member(object, "onset"), member(object, "offset"), member(object, "note"));
    if (!note) {
      out.error = "note " + std::to_string(out.notes.size() + 1) + " is not a note";
      return out;
    }
    out.notes.push_back(*note);
  }
  return out;
}

}  // namespace

ParsedNotes parseNotesFile(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && text[first] == '{') return parseJson(text);
  return parseCsv(text);
}
