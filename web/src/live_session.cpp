#include "live_session.h"

#include "js_values.h"
#include "track_entries.h"

namespace pitchtrack::web {

namespace {

// Copies a typed array into `into`, reusing its memory: no allocation once it is large enough.
template <typename T>
void copyInto(const val& samples, std::vector<T>& into) {
  into.resize(samples["length"].as<size_t>());
  val view(emscripten::typed_memory_view(into.size(), into.data()));
  view.call<void>("set", samples);
}

val frameObject(const Frame& frame) {
  val object = val::object();
  object.set("index", static_cast<double>(frame.index));
  object.set("value", frame.value);
  object.set("hz", frame.hz);
  object.set("confidence", frame.confidence);
  return object;
}

}  // namespace

val LiveSession::open(int32_t sampleRate, int32_t bitsPerSample, const WebOptions& web) {
  try {
    Options options = libraryOptions(web);
    options.analysis = Analysis::kPrecise;
    options.keepFrames = false;
    options.frameSink = [this](const Frame& frame) { frames_.push_back(frame); };
    options.noteSink = [this](const Note& note) { notes_.push_back(note); };
    tracker_ = std::make_unique<Tracker>(sampleRate, bitsPerSample, options);
    return val::undefined();
  } catch (...) {
    return errorObject();
  }
}

val LiveSession::pushIntegers(const val& samples) {
  try {
    copyInto(samples, block_);
    return pushBlock();
  } catch (...) {
    return errorObject();
  }
}

val LiveSession::pushFloats(const val& samples) {
  try {
    copyInto(samples, floats_);
    block_.resize(floats_.size());
    for (size_t i = 0; i < floats_.size(); ++i) block_[i] = sampleFromFloat(floats_[i]);
    return pushBlock();
  } catch (...) {
    return errorObject();
  }
}

val LiveSession::finish() {
  try {
    if (!tracker_) throw std::logic_error("pitchtrack: the live session is not open");
    tracker_->finish();
    return takeFinal();
  } catch (...) {
    return errorObject();
  }
}

val LiveSession::pushBlock() {
  if (!tracker_) throw std::logic_error("pitchtrack: the live session is not open");
  tracker_->push(block_);
  return takeFinal();
}

val LiveSession::takeFinal() {
  val frames = val::array();
  for (const Frame& frame : frames_) frames.call<void>("push", frameObject(frame));
  val notes = val::array();
  for (const Note& note : notes_) notes.call<void>("push", noteObject(note));
  frames_.clear();
  notes_.clear();
  val result = val::object();
  result.set("frames", frames);
  result.set("notes", notes);
  return result;
}

}  // namespace pitchtrack::web
