// Reads a contour as pitchtrack writes it, in any of its formats, told apart by the text
// itself: the pitch file's line, the CSV of --format=csv and the JSON of --format=json (one
// object, or a live run's lines). The CSV and the JSON also say which frame of the recording the
// first value belongs to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a parser found: the values, or the reason the text is not such a contour.
struct ParsedContour {
  std::vector<int32_t> values;
  std::optional<int64_t> firstFrame;  // from the CSV and the JSON; none from a pitch line
  std::string error;                  // empty when the text parsed

  bool ok() const { return error.empty(); }
};

// Parses the text of a pitch file: non-negative decimal integers joined by "+", on one line
// ended by "\n" (or "\r\n", or by the end of the text). An empty text or a lone newline is the
// empty contour. Anything else (an empty value, a sign, a letter, a value above 2147483647, a
// second line) is an error naming the offending value by its 1-based position.
ParsedContour parsePitchLine(std::string_view text);

// Parses the CSV of `pitchtrack --format=csv`: a header row naming at least the columns frame
// and value, then one row per frame, the frames consecutive, an empty value meaning no pitch.
// An error names the row (1 is the first after the header) and what is wrong with it.
ParsedContour parseContourCsv(std::string_view text);

// Parses the JSON of `pitchtrack --format=json`: an object whose member "values" is an array of
// non-negative integers and whose member "first_frame" (when present) is a non-negative
// integer; other members are skipped. An error says what is missing or malformed.
ParsedContour parseContourJson(std::string_view text);

// Parses the JSON lines of `pitchtrack --live --format=json`: one object per line with the
// members "frame" and "value" (others skipped), the frames consecutive. An error names the line.
ParsedContour parseContourJsonLines(std::string_view text);

// Any of these, told by the text: JSON when it starts with "{" (after white space), one object
// or its live lines, CSV when its first line starts with "frame,", otherwise a pitch line. The
// error starts with the format's name ("CSV: row 3: ...") except for a pitch line's; for JSON
// it is the one object's.
ParsedContour parseContourFile(std::string_view text);
