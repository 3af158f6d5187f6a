// A live tracker for JavaScript: the library's Tracker in precise mode over blocks of samples as
// they arrive (a microphone's), handing out each frame as soon as it is final and each note as
// soon as it ends. Nothing of the recording is kept, so a session may run for ever.
#pragma once

#include <emscripten/val.h>

#include <memory>
#include <vector>

#include "pitchtrack/pitchtrack.h"
#include "web_options.h"

namespace pitchtrack::web {

using emscripten::val;

class LiveSession {
 public:
  // Opens the session for samples at `sampleRate` Hz of `bitsPerSample` (8 or 16; float samples
  // are pushed as 16-bit). Returns undefined, or {error: ...} for a rate or size the library
  // refuses. The constructor itself cannot fail, since an exception must not reach JavaScript.
  val open(int32_t sampleRate, int32_t bitsPerSample, const WebOptions& options);

  // Each returns {frames: [{index, value, hz, confidence}...], notes: [...]}: what became final,
  // or {error: ...}. pushIntegers takes an Int16Array or a Uint8Array, pushFloats a Float32Array
  // of full scale -1..1 converted as the reader converts float samples.
  val pushIntegers(const val& samples);
  val pushFloats(const val& samples);
  // Ends the stream: the last frames and notes.
  val finish();

 private:
  val pushBlock();
  val takeFinal();

  std::unique_ptr<Tracker> tracker_;
  std::vector<int16_t> block_;
  std::vector<float> floats_;
  std::vector<Frame> frames_;
  std::vector<Note> notes_;
};

}  // namespace pitchtrack::web
