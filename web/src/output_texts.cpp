#include "output_texts.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "js_values.h"
#include "output_format.h"
#include "track_entries.h"

namespace pitchtrack::web {

namespace {

using cli::OutputFormat;

OutputFormat formatNamed(const std::string& name) {
  static constexpr std::array<std::pair<const char*, OutputFormat>, 7> kNames = {{
      {"line", OutputFormat::kLine},
      {"csv", OutputFormat::kCsv},
      {"json", OutputFormat::kJson},
      {"notes", OutputFormat::kNotesLine},
      {"notes-csv", OutputFormat::kNotesCsv},
      {"notes-json", OutputFormat::kNotesJson},
      {"midi", OutputFormat::kNotesMidi},
  }};
  for (const auto& [text, format] : kNames) {
    if (name == text) return format;
  }
  throw std::invalid_argument("unknown output format '" + name +
                              "': line, csv, json, notes, notes-csv, notes-json or midi");
}

}  // namespace

val outputBytes(const std::string& format, const val& contour, const std::string& name) {
  try {
    const std::string bytes = cli::formatOutput(formatNamed(format), contourFrom(contour), name);
    return val::global("Uint8Array")
        .new_(emscripten::typed_memory_view(bytes.size(),
                                            reinterpret_cast<const uint8_t*>(bytes.data())));
  } catch (...) {
    return errorObject();
  }
}

}  // namespace pitchtrack::web
