// The settings of one analysis and what it reports while it runs: progress lines and warnings.
// Part of pitchtrack.h; compiles as C++17 and later.
#pragma once

#include <functional>
#include <string>

#include "pitchtrack/frame.h"
#include "pitchtrack/notes.h"

namespace pitchtrack {

// Receives one progress line at a time, without its line end: "fs=44100 ===> Resample to have
// fs=8000" when the rate is not 8000 Hz, "nbits=16 ===> Convert from nbits=16 to 8!" for 16-bit
// samples. These are the lines the tool prints.
using ProgressSink = std::function<void(const std::string& line)>;

// What a warning is about. The contour is the same whether or not anyone listens.
enum class WarningKind {
  kClipping,             // the recording reaches full scale and stays there (clipped)
  kQuietRecording,       // the peak is so low that the reduction to 8 bits loses most of it
  kFinalStretchDropped,  // the final-gap rule dropped the last voiced stretch
  kOutsideFinalRange,    // most of the first pass lies outside the final pitch range
  kEmptyContour,         // no pitch at all, although the recording is not silent
  kStreamEndedEarly,     // a WAV stream ended before its stated data size: what arrived is used
};

// One thing the analysis did to the recording that its user may not expect. The times place it
// in the recording (seconds from its start); the message, one line without a line end, says what
// happened and which option would change the result.
struct Warning {
  WarningKind kind = WarningKind::kEmptyContour;
  double startSeconds = 0;
  double endSeconds = 0;
  std::string message;
};

// Receives the warnings of one analysis, in the order the analysis meets them.
using WarningSink = std::function<void(const Warning& warning)>;

// How a frame is judged voiced.
enum class Voicing {
  // Relative to the recording's own quiet and loud frames (the default).
  kRelative,
  // As kRelative, and the frame must also be periodic (normalised autocorrelation at least 0.5
  // at some lag of 8..173 samples at 8000 Hz, 46..1000 Hz) and not faint (mean square at least
  // 1 in the 8-bit range).
  kStrict,
};

// Which analysis makes the contour.
enum class Analysis {
  // The default analysis: whole semitones (truncated), voicing relative to the recording, the
  // signal reduced to 8 bits at 8000 Hz. Its contour is the pitch file the tool writes by
  // default, byte for byte.
  kDefault,
  // The precise analysis: the pitch to a tenth of a semitone (rounded to the nearest tenth), the
  // measured frequency and a confidence per frame, voicing from periodicity and an absolute
  // level, the input's own resolution. Causal: a frame's value depends only on the audio up to
  // 80 ms past the frame's end, so a live stream gives the same values as the file. The
  // remedies below (normalize, keepFinal, voicing) belong to the default analysis and are
  // ignored here; no progress lines or warnings are reported.
  kPrecise,
};

// Settings of one analysis. Every remedy is off by default; with the defaults the contour is the
// default one, the same the tool writes without options.
struct Options {
  ProgressSink progress;     // empty: the lines are dropped
  WarningSink warning = {};  // empty: the warnings are dropped
  // Scale 16-bit samples so that the peak becomes full scale (x * 32767 / peak, truncated toward
  // zero) before the reduction to 8 bits. 8-bit recordings are left as they are.
  bool normalize = false;
  // Keep the last voiced stretch however long the silence before it.
  bool keepFinal = false;
  Voicing voicing = Voicing::kRelative;
  Analysis analysis = Analysis::kDefault;
  // How the precise analysis groups its frames into Contour::notes.
  NoteSettings notes = {};
  // The precise analysis only (the default one cannot say anything before the end: its entries
  // throw std::invalid_argument when this is set). Called from inside push() (Tracker) or while
  // the stream is read (trackStream) with each frame as soon as it is final, that is once the
  // audio up to 80 ms past its end has arrived; finish() hands out the last ones. Every frame
  // comes, from index 0 on: also the unpitched frames at both ends, which the contour cuts.
  FrameSink frameSink = {};
  // The precise analysis only: each note as soon as it ends (after the frames that end it have
  // reached frameSink), the last one from finish(). Contour::notes holds them too unless
  // keepFrames is false. The frames of the note under way are kept until it ends, so push()
  // may allocate while a note grows.
  NoteSink noteSink = {};
  // The precise analysis only: false keeps nothing of the recording for finish(), so that memory
  // stays flat however long the stream runs; finish() then returns a contour without values
  // (recordingSeconds still set) and the frames reach only frameSink.
  bool keepFrames = true;
};

}  // namespace pitchtrack
