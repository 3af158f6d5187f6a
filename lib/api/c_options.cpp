#include "c_options.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace pitchtrack::c_api {

namespace {

// More than a pitchtrack_options will ever hold: a larger size is an uninitialised field, not a
// newer header, and is refused before any byte past the known fields is read.
constexpr size_t kLargestOptionsSize = 4096;

// The caller's struct copied into this library's layout: the fields that fit in its size, the
// defaults (zero) for the rest; the bytes of fields this library does not know must be zero.
pitchtrack_options readOptions(const pitchtrack_options& given) {
  if (given.size < sizeof given.size || given.size > kLargestOptionsSize) {
    throw std::invalid_argument("options.size is " + std::to_string(given.size) +
                                ", not the size of a pitchtrack_options (set it with "
                                "pitchtrack_options_init)");
  }
  pitchtrack_options read{};
  std::memcpy(&read, &given, std::min(given.size, sizeof read));
  const auto* bytes = reinterpret_cast<const unsigned char*>(&given);
  if (std::any_of(bytes + std::min(given.size, sizeof read), bytes + given.size,
                  [](unsigned char byte) { return byte != 0; })) {
    throw std::invalid_argument(
        "options holds settings this version of the library does not know (" +
        std::string(pitchtrack_version()) + ")");
  }
  return read;
}

// A setting of the note grouping: 0 for the default, else positive.
double noteSetting(double given, double byDefault, const char* name) {
  if (given == 0) return byDefault;
  if (!(given > 0) || !std::isfinite(given)) {
    throw std::invalid_argument(std::string("options.") + name + " must be 0 or positive");
  }
  return given;
}

void setChoices(const pitchtrack_options& c, Options& options) {
  if (c.analysis != PITCHTRACK_ANALYSIS_DEFAULT && c.analysis != PITCHTRACK_ANALYSIS_PRECISE) {
    throw std::invalid_argument("options.analysis is neither default nor precise");
  }
  if (c.voicing != PITCHTRACK_VOICING_RELATIVE && c.voicing != PITCHTRACK_VOICING_STRICT) {
    throw std::invalid_argument("options.voicing is neither relative nor strict");
  }
  options.analysis =
      c.analysis == PITCHTRACK_ANALYSIS_PRECISE ? Analysis::kPrecise : Analysis::kDefault;
  options.voicing = c.voicing == PITCHTRACK_VOICING_STRICT ? Voicing::kStrict : Voicing::kRelative;
  options.normalize = c.normalize != 0;
  options.keepFinal = c.keep_final != 0;
  options.keepFrames = c.keep_no_frames == 0;
  const NoteSettings defaults;
  options.notes.minNoteSeconds =
      noteSetting(c.min_note_seconds, defaults.minNoteSeconds, "min_note_seconds");
  options.notes.onsetDb = noteSetting(c.onset_db, defaults.onsetDb, "onset_db");
}

pitchtrack_warning_kind kindForC(WarningKind kind) {
  switch (kind) {
    case WarningKind::kClipping:
      return PITCHTRACK_WARNING_CLIPPING;
    case WarningKind::kQuietRecording:
      return PITCHTRACK_WARNING_QUIET_RECORDING;
    case WarningKind::kFinalStretchDropped:
      return PITCHTRACK_WARNING_FINAL_STRETCH_DROPPED;
    case WarningKind::kOutsideFinalRange:
      return PITCHTRACK_WARNING_OUTSIDE_FINAL_RANGE;
    case WarningKind::kEmptyContour:
      return PITCHTRACK_WARNING_EMPTY_CONTOUR;
    case WarningKind::kStreamEndedEarly:
      break;
  }
  return PITCHTRACK_WARNING_STREAM_ENDED_EARLY;
}

// The caller's callbacks as the sinks of `options`; a NULL callback leaves its sink empty.
void setCallbacks(const pitchtrack_options& c, Options& options) {
  void* const data = c.user_data;
  if (const auto progress = c.progress) {
    options.progress = [progress, data](const std::string& line) { progress(line.c_str(), data); };
  }
  if (const auto warning = c.warning) {
    options.warning = [warning, data](const Warning& w) {
      const pitchtrack_warning out{kindForC(w.kind), w.startSeconds, w.endSeconds,
                                   w.message.c_str()};
      warning(&out, data);
    };
  }
  if (const auto frame = c.frame) {
    options.frameSink = [frame, data](const Frame& f) {
      const pitchtrack_frame out{f.index, f.value, f.hz, f.confidence};
      frame(&out, data);
    };
  }
  if (const auto note = c.note) {
    options.noteSink = [note, data](const Note& n) {
      const pitchtrack_note out = noteForC(n);
      note(&out, data);
    };
  }
}

}  // namespace

Options optionsOf(const pitchtrack_options* given) {
  Options options;
  if (given == nullptr) return options;
  const pitchtrack_options c = readOptions(*given);
  setChoices(c, options);
  setCallbacks(c, options);
  return options;
}

Options optionsOfFlags(uint32_t flags) {
  constexpr uint32_t kKnownFlags =
      PITCHTRACK_PRECISE | PITCHTRACK_NORMALIZE | PITCHTRACK_KEEP_FINAL | PITCHTRACK_STRICT_VOICING;
  if ((flags & ~kKnownFlags) != 0) {
    throw std::invalid_argument("unknown flags in " + std::to_string(flags));
  }
  Options options;
  if ((flags & PITCHTRACK_PRECISE) != 0) options.analysis = Analysis::kPrecise;
  options.normalize = (flags & PITCHTRACK_NORMALIZE) != 0;
  options.keepFinal = (flags & PITCHTRACK_KEEP_FINAL) != 0;
  if ((flags & PITCHTRACK_STRICT_VOICING) != 0) options.voicing = Voicing::kStrict;
  return options;
}

pitchtrack_note noteForC(const Note& n) {
  return {n.onsetSeconds, n.offsetSeconds, n.midiNote, n.cents,   n.hz,
          n.frames,       n.confidence,    n.levelDb,  n.velocity};
}

}  // namespace pitchtrack::c_api
