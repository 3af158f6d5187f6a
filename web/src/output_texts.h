// The outputs the pitchtrack tool writes, made by the tool's own writers, so that the browser's
// bytes are the tool's bytes by construction.
#pragma once

#include <emscripten/val.h>

#include <string>

namespace pitchtrack::web {

using emscripten::val;

// The bytes (a Uint8Array) the tool writes with --format=FORMAT for the contour object `contour`
// (js_values.h) of the recording `name`: "line", "csv" or "json" for the frames; "notes",
// "notes-csv", "notes-json" or "midi" for the notes. An unknown format gives
// {error: {kind: "argument", ...}}.
val outputBytes(const std::string& format, const val& contour, const std::string& name);

}  // namespace pitchtrack::web
