#include "contour_builder.h"

#include <optional>
#include <stdexcept>

#include "extract_pitch.h"
#include "note_segmenter.h"
#include "precise_analysis.h"
#include "precise_contour.h"

namespace pitchtrack::pipeline {

namespace {

// The default analysis: the working signal at 8000 Hz in the 8-bit range, then both passes.
class DefaultContourBuilder final : public ContourBuilder {
 public:
  DefaultContourBuilder(int32_t fs, int32_t nbits, int64_t expectedLength, const Options& options)
      : builder_(fs, nbits, expectedLength, options) {}
  void push(std::span<const int16_t> block) override { builder_.push(block); }
  Contour finish() override { return builder_.finishContour(); }

 private:
  WorkingSignalBuilder builder_;
};

// The caller's frame sink as the analysis calls it; empty when there is none.
PreciseAnalysis::FrameSink frameSinkOf(const Options& options) {
  if (!options.frameSink) return {};
  return [sink = options.frameSink](int64_t index, const PreciseFrame& frame) {
    sink(publicFrame(index, frame));
  };
}

// The precise analysis, frame by frame as the blocks arrive, and its notes as the frames do:
// each frame reaches the caller's frame sink before the segmenter, so a note that a frame ends
// comes after that frame.
class PreciseContourBuilder final : public ContourBuilder {
 public:
  PreciseContourBuilder(int32_t fs, int32_t nbits, const Options& options)
      : fs_(fs),
        nbits_(nbits),
        keepNotes_(options.keepFrames),
        noteSink_(options.noteSink),
        frameSink_(frameSinkOf(options)),
        analysis_(
            fs, nbits, [this](int64_t index, const PreciseFrame& frame) { onFrame(index, frame); },
            options.keepFrames) {
    // Notes only when someone takes them: a live run that wants frames alone keeps no note.
    if (options.keepFrames || options.noteSink) {
      segmenter_.emplace(options.notes, [this](const Note& note) { onNote(note); });
    }
  }
  void push(std::span<const int16_t> block) override {
    checkCountable(static_cast<size_t>(pushed_), block.size());
    checkEightBitRange(block, nbits_);
    analysis_.push(block);
    pushed_ += static_cast<int64_t>(block.size());
  }
  Contour finish() override {
    analysis_.finish();
    if (segmenter_) segmenter_->finish();
    Contour contour = preciseContour(analysis_.frames(), static_cast<double>(pushed_) / fs_);
    contour.recordingFrames = analysis_.finalFrames();
    contour.notes = std::move(notes_);
    return contour;
  }

 private:
  void onFrame(int64_t index, const PreciseFrame& frame) {
    if (frameSink_) frameSink_(index, frame);
    if (segmenter_) segmenter_->push(index, frame);
  }
  void onNote(const Note& note) {
    if (noteSink_) noteSink_(note);
    if (keepNotes_) notes_.push_back(note);
  }

  int32_t fs_;
  int32_t nbits_;
  int64_t pushed_ = 0;
  bool keepNotes_;
  NoteSink noteSink_;
  PreciseAnalysis::FrameSink frameSink_;
  std::vector<Note> notes_;
  std::optional<NoteSegmenter> segmenter_;
  PreciseAnalysis analysis_;
};

}  // namespace

void checkFrameSink(const Options& options) {
  if ((options.frameSink || options.noteSink) && options.analysis != Analysis::kPrecise) {
    throw std::invalid_argument("a frame or note sink needs the precise analysis");
  }
}

std::unique_ptr<ContourBuilder> makeContourBuilder(int32_t fs, int32_t nbits,
                                                   int64_t expectedLength, const Options& options) {
  checkInputFormat(fs, nbits);
  checkFrameSink(options);
  if (options.analysis == Analysis::kPrecise) {
    return std::make_unique<PreciseContourBuilder>(fs, nbits, options);
  }
  return std::make_unique<DefaultContourBuilder>(fs, nbits, expectedLength, options);
}

}  // namespace pitchtrack::pipeline
