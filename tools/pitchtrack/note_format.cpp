#include "note_format.h"

#include <cstdio>

namespace pitchtrack::cli {

namespace {

std::string printed(const char* format, const Note& note) {
  char text[256];
  std::snprintf(text, sizeof text, format, note.onsetSeconds, note.offsetSeconds, note.midiNote,
                note.cents, note.hz, note.frames, note.confidence, note.velocity);
  return text;
}

}  // namespace

std::string noteLine(const Note& note) { return printed("%.3f %.3f %d\n", note); }

std::string noteCsvHeader() { return "onset,offset,note,cents,hz,frames,confidence,velocity\n"; }

std::string noteCsvRow(const Note& note) {
  return printed("%.3f,%.3f,%d,%.1f,%.3f,%d,%.3f,%d\n", note);
}

std::string noteJsonObject(const Note& note) {
  return printed(
      "{\"onset\": %.3f, \"offset\": %.3f, \"note\": %d, \"cents\": %.1f, \"hz\": %.3f, "
      "\"frames\": %d, \"confidence\": %.3f, \"velocity\": %d}",
      note);
}

std::string formatNoteLines(const std::vector<Note>& notes) {
  std::string text;
  for (const Note& note : notes) text += noteLine(note);
  return text;
}

std::string formatNoteCsv(const std::vector<Note>& notes) {
  std::string text = noteCsvHeader();
  for (const Note& note : notes) text += noteCsvRow(note);
  return text;
}

std::string formatNoteJson(const std::vector<Note>& notes, const std::string& quotedFileName) {
  std::string text = "{\"file\": " + quotedFileName + ", \"notes\": [";
  for (size_t i = 0; i < notes.size(); ++i) {
    text += i > 0 ? ", " : "";
    text += noteJsonObject(notes[i]);
  }
  return text + "]}\n";
}

}  // namespace pitchtrack::cli
