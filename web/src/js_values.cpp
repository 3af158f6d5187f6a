#include "js_values.h"

#include <emscripten/val.h>

namespace pitchtrack::web {

namespace {

template <typename T>
val typedArray(const char* type, const std::vector<T>& values) {
  return val::global(type).new_(emscripten::typed_memory_view(values.size(), values.data()));
}

val noteArray(const std::vector<Note>& notes) {
  val array = val::array();
  for (const Note& note : notes) array.call<void>("push", noteObject(note));
  return array;
}

}  // namespace

val int32Array(const std::vector<int32_t>& values) { return typedArray("Int32Array", values); }

val float64Array(const std::vector<double>& values) { return typedArray("Float64Array", values); }

val stringArray(const std::vector<std::string>& texts) {
  val array = val::array();
  for (const std::string& text : texts) array.call<void>("push", text);
  return array;
}

val noteObject(const Note& note) {
  val object = val::object();
  object.set("onsetSeconds", note.onsetSeconds);
  object.set("offsetSeconds", note.offsetSeconds);
  object.set("midiNote", note.midiNote);
  object.set("cents", note.cents);
  object.set("hz", note.hz);
  object.set("frames", note.frames);
  object.set("confidence", note.confidence);
  object.set("levelDb", note.levelDb);
  object.set("velocity", note.velocity);
  return object;
}

Note noteFrom(const val& object) {
  Note note;
  note.onsetSeconds = object["onsetSeconds"].as<double>();
  note.offsetSeconds = object["offsetSeconds"].as<double>();
  note.midiNote = object["midiNote"].as<int32_t>();
  note.cents = object["cents"].as<double>();
  note.hz = object["hz"].as<double>();
  note.frames = object["frames"].as<int32_t>();
  note.confidence = object["confidence"].as<double>();
  note.levelDb = object["levelDb"].as<double>();
  note.velocity = object["velocity"].as<int32_t>();
  return note;
}

val contourObject(const Contour& contour) {
  val object = val::object();
  object.set("values", int32Array(contour.values));
  object.set("firstFrame", static_cast<double>(contour.firstFrame));
  object.set("frameSeconds", contour.frameSeconds);
  object.set("recordingSeconds", contour.recordingSeconds);
  object.set("hz", float64Array(contour.hz));
  object.set("confidence", float64Array(contour.confidence));
  object.set("notes", noteArray(contour.notes));
  return object;
}

Contour contourFrom(const val& object) {
  Contour contour;
  contour.values = emscripten::convertJSArrayToNumberVector<int32_t>(object["values"]);
  contour.firstFrame = static_cast<int64_t>(object["firstFrame"].as<double>());
  contour.frameSeconds = object["frameSeconds"].as<double>();
  contour.recordingSeconds = object["recordingSeconds"].as<double>();
  contour.hz = emscripten::convertJSArrayToNumberVector<double>(object["hz"]);
  contour.confidence = emscripten::convertJSArrayToNumberVector<double>(object["confidence"]);
  const val notes = object["notes"];
  const auto count = notes["length"].as<size_t>();
  for (size_t i = 0; i < count; ++i) contour.notes.push_back(noteFrom(notes[i]));
  return contour;
}

}  // namespace pitchtrack::web
