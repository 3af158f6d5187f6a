#include "contour_builder.h"

#include "extract_pitch.h"
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

// The precise analysis, frame by frame as the blocks arrive.
class PreciseContourBuilder final : public ContourBuilder {
 public:
  PreciseContourBuilder(int32_t fs, int32_t nbits) : fs_(fs), nbits_(nbits), analysis_(fs, nbits) {}
  void push(std::span<const int16_t> block) override {
    checkCountable(static_cast<size_t>(pushed_), block.size());
    checkEightBitRange(block, nbits_);
    analysis_.push(block);
    pushed_ += static_cast<int64_t>(block.size());
  }
  Contour finish() override {
    analysis_.finish();
    return preciseContour(analysis_.frames(), static_cast<double>(pushed_) / fs_);
  }

 private:
  int32_t fs_;
  int32_t nbits_;
  int64_t pushed_ = 0;
  PreciseAnalysis analysis_;
};

}  // namespace

std::unique_ptr<ContourBuilder> makeContourBuilder(int32_t fs, int32_t nbits,
                                                   int64_t expectedLength, const Options& options) {
  checkInputFormat(fs, nbits);
  if (options.analysis == Analysis::kPrecise) {
    return std::make_unique<PreciseContourBuilder>(fs, nbits);
  }
  return std::make_unique<DefaultContourBuilder>(fs, nbits, expectedLength, options);
}

}  // namespace pitchtrack::pipeline
