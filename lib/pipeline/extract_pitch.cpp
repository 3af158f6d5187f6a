#include "extract_pitch.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "analysis_warnings.h"
#include "audio/frame.h"
#include "audio/median.h"
#include "audio/pitch_tracker.h"
#include "resample.h"
#include "voicing.h"

namespace pitchtrack {

namespace {

constexpr float kLowestKeptPitch = 34.0f;
constexpr float kHighestKeptPitch = 90.0f;

void clearUnvoiced(std::span<double> pitch, std::span<const uint8_t> voiced) {
  for (size_t k = 0; k < pitch.size(); ++k) {
    if (voiced[k] == 0) pitch[k] = 0;
  }
}

Contour wholeSemitonesTimesTen(std::span<const double> pitch) {
  int32_t first = 0;
  int32_t last = 0;
  pipeline::findNonzeroBounds(pitch, first, last);
  Contour contour;
  if (last < first) return contour;
  contour.firstFrame = first;
  contour.values.reserve(static_cast<size_t>(last - first + 1));
  for (int32_t k = first; k <= last; ++k) {
    contour.values.push_back(10 * truncToInt(pitch[static_cast<size_t>(k)]));
  }
  return contour;
}

}  // namespace

namespace pipeline {

double voicedMedian(std::span<double> pitch) {
  size_t m = 0;
  for (double& value : pitch) {
    if (value == 0.0) continue;
    const double kept = value;
    value = 0.0;
    pitch[m++] = kept;
  }
  if (m == 0) return 0;
  const auto [lower, upper] = middleValues(pitch.first(m));
  return (lower + upper) / 2;
}

void clearOutOfRange(std::span<double> values, float lowest, float highest) {
  for (double& value : values) {
    if (value != 0 && (value < lowest || value > highest)) value = 0.0;
  }
}

void findNonzeroBounds(std::span<const double> values, int32_t& first, int32_t& last) {
  const auto count = static_cast<int32_t>(values.size());
  first = 0;
  while (first < count && values[static_cast<size_t>(first)] == 0.0) ++first;
  last = count - 1;
  while (last > first && values[static_cast<size_t>(last)] == 0.0) --last;
}

}  // namespace pipeline

namespace {

// What the analysis is asked to do beyond the defaults, and whom it tells.
struct Settings {
  const Options& options;
  const pipeline::InputLevel& level;

  bool warns() const { return static_cast<bool>(options.warning); }
  void warn(const std::optional<Warning>& warning) const {
    if (warning && warns()) options.warning(*warning);
  }
};

void warnAboutInput(const Settings& settings) {
  if (!settings.warns()) return;
  settings.warn(pipeline::clippingWarning(settings.level));
  settings.warn(pipeline::quietWarning(settings.level, settings.options.normalize));
}

void warnAboutResult(const Settings& settings, const Contour& contour,
                     const pipeline::VoicingResult& voicing, int32_t frames) {
  if (!settings.warns()) return;
  if (voicing.dropped) settings.warn(pipeline::finalStretchWarning(*voicing.dropped));
  if (contour.empty() && frames >= 2) {
    settings.warn(pipeline::emptyContourWarning(settings.level, settings.options.normalize,
                                                voicing.dropped.has_value()));
  }
}

// Both passes, the voicing mask and the contour.
template <typename Sample, typename Release>
Contour passesOf(std::span<const Sample> signal, Release release, const Settings& settings) {
  warnAboutInput(settings);
  PtParam ptParam = kTrackerParam;
  const int32_t frames =
      frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap);
  // The median and the voicing mask need at least two tracker frames.
  if (frames < 2) {
    warnAboutResult(settings, {}, {}, frames);
    return {};
  }

  // Both passes share the range-independent analysis; only the pitch range differs.
  const FrameAnalysis analysis = analyseFrames(signal, ptParam);
  std::vector<double> pitch(static_cast<size_t>(frames), 0.0);
  trackPitch(analysis, ptParam, pitch);
  const pipeline::VoicingResult voicing =
      pipeline::voicing(signal, ptParam, frames, settings.options, settings.warns());
  release();
  clearUnvoiced(pitch, voicing.mask);
  const std::vector<double> firstPass = settings.warns() ? pitch : std::vector<double>();

  const double median = pipeline::voicedMedian(pitch);
  ptParam.minPitch = static_cast<float>(median - ptParam.pitchRangeWidth * 0.5);
  ptParam.maxPitch = static_cast<float>(median + ptParam.pitchRangeWidth * 0.5);
  if (settings.warns()) {
    settings.warn(pipeline::outsideRangeWarning(firstPass, ptParam.minPitch, ptParam.maxPitch,
                                                kFrameMilliseconds / 1000.0));
  }

  std::fill(pitch.begin(), pitch.end(), 0.0);
  trackPitch(analysis, ptParam, pitch);
  clearUnvoiced(pitch, voicing.mask);
  pipeline::clearOutOfRange(pitch, kLowestKeptPitch, kHighestKeptPitch);
  Contour contour = wholeSemitonesTimesTen(pitch);
  warnAboutResult(settings, contour, voicing, frames);
  return contour;
}

// Everything after the preparation: both passes, the voicing mask and the contour, placed in the
// recording. `release` frees the signal once the endpoint detector is done with it.
template <typename Sample, typename Release>
Contour contourOf(std::span<const Sample> signal, Release release, const Settings& settings) {
  const double seconds = static_cast<double>(signal.size()) / pipeline::kWorkingRate;
  const int32_t frames = frameCount(static_cast<int32_t>(signal.size()), kTrackerParam.frameSize,
                                    kTrackerParam.overlap);
  Contour contour = passesOf(signal, release, settings);
  contour.recordingSeconds = seconds;
  contour.recordingFrames = std::max(frames, 0);
  return contour;
}

void reduceSixteenBits(std::span<int16_t> samples) {
  for (int16_t& v : samples) v = static_cast<int16_t>(v / 256);
}

// The contour of a working signal held in a buffer, which is released once the analysis no
// longer needs it.
template <typename Buffer>
Contour contourOfBuffer(Buffer& signal, const Options& options, const pipeline::InputLevel& level) {
  const auto samples = std::span(std::as_const(signal).samples());
  return contourOf(
      samples, [&signal] { signal = {}; }, Settings{options, level});
}

void say(const ProgressSink& progress, const char* format, int32_t a, int32_t b = 0) {
  if (!progress) return;
  char line[96];
  std::snprintf(line, sizeof line, format, a, b);
  progress(line);
}

}  // namespace

namespace pipeline {

void checkCountable(size_t alreadyPushed, size_t count) {
  constexpr auto kMaxCount = static_cast<size_t>(std::numeric_limits<int64_t>::max());
  if (count > kMaxCount - alreadyPushed) {
    throw std::length_error("the recording is longer than the analysis can index");
  }
}

// Refuses a recording whose working signal would pass kMaxWorkingLength, counts of 2^63 and
// more included (they do not even fit the signed lengths of the analysis).
void checkIndexable(size_t alreadyPushed, size_t count, int32_t fs) {
  checkCountable(alreadyPushed, count);
  if (resampledLength(static_cast<int64_t>(alreadyPushed + count), fs, kWorkingRate) >
      kMaxWorkingLength) {
    throw std::length_error("the recording is longer than the analysis can index");
  }
}

// 8-bit samples are unsigned bytes; anything else would index past the analysis' tables.
void checkEightBitRange(std::span<const int16_t> samples, int32_t nbits) {
  if (nbits != 8) return;
  const auto outside =
      std::find_if(samples.begin(), samples.end(), [](int16_t v) { return v < 0 || v > 255; });
  if (outside != samples.end()) {
    throw std::invalid_argument("8-bit samples are the unsigned byte values 0..255, not " +
                                std::to_string(*outside));
  }
}

void checkInputFormat(int32_t fs, int32_t nbits) {
  if (nbits != 8 && nbits != 16) {
    throw std::invalid_argument("bits per sample must be 8 or 16, not " + std::to_string(nbits));
  }
  if (!sampleRateSupported(fs)) {
    throw std::invalid_argument("sample rate " + std::to_string(fs) + " Hz is outside " +
                                std::to_string(kMinSampleRate) + ".." +
                                std::to_string(kMaxSampleRate) + " Hz");
  }
}

WorkingSignalBuilder::WorkingSignalBuilder(int32_t fs, int32_t nbits, int64_t expectedLength,
                                           const Options& options)
    : fs_(fs), nbits_(nbits), options_(options), level_(fs, nbits) {
  checkInputFormat(fs, nbits);
  if (fs != kWorkingRate) {
    say(options_.progress, "fs=%d ===> Resample to have fs=%d", fs, kWorkingRate);
  }
  if (resampledLength(expectedLength, fs, kWorkingRate) > kMaxWorkingLength) {
    throw std::length_error("the recording is longer than the analysis can index");
  }
  if (!options_.normalize && nbits == 16) store_ = Store::kReduced;
  if (!options_.normalize && nbits == 8 && fs == kWorkingRate) store_ = Store::kBytes;
  const auto length = static_cast<size_t>(expectedLength);
  if (fs != kWorkingRate && store_ == Store::kReduced) {
    reducingResampler_ = std::make_unique<ReducingResampler>(fs, kWorkingRate, expectedLength);
  } else if (fs != kWorkingRate) {
    resampler_ = std::make_unique<StreamingResampler>(fs, kWorkingRate, expectedLength);
  } else if (store_ == Store::kReduced) {
    reducedSignal_ = NarrowSampleBuffer(length);
  } else if (store_ == Store::kBytes) {
    byteSignal_ = ByteSampleBuffer(length);
  } else {
    signal_ = SampleBuffer(length);
  }
}

WorkingSignalBuilder::~WorkingSignalBuilder() = default;

void WorkingSignalBuilder::push(std::span<const int16_t> block) {
  checkIndexable(static_cast<size_t>(pushed_), block.size(), fs_);
  checkEightBitRange(block, nbits_);
  pushed_ += static_cast<int64_t>(block.size());
  if (options_.warning) level_.add(block);
  if (resampler_) {
    resampler_->push(block);
    return;
  }
  if (reducingResampler_) {
    reducingResampler_->push(block);
    return;
  }
  if (store_ != Store::kWide) {
    pushNarrow(block);
    return;
  }
  signal_.grow(filled_ + block.size());
  std::copy(block.begin(), block.end(),
            signal_.samples().begin() + static_cast<ptrdiff_t>(filled_));
  filled_ += block.size();
}

void WorkingSignalBuilder::pushNarrow(std::span<const int16_t> block) {
  const size_t end = filled_ + block.size();
  if (store_ == Store::kReduced) {
    reducedSignal_.grow(end);
    std::transform(block.begin(), block.end(), reducedSignal_.samples().begin() + filled_,
                   [](int16_t v) { return static_cast<int8_t>(v / 256); });
  } else {
    byteSignal_.grow(end);
    std::transform(block.begin(), block.end(), byteSignal_.samples().begin() + filled_,
                   [](int16_t v) { return static_cast<uint8_t>(v); });
  }
  filled_ = end;
}

template <typename Byte>
SampleBufferOf<Byte> WorkingSignalBuilder::finishNarrow(SampleBufferOf<Byte>& kept) {
  SampleBufferOf<Byte> signal;
  if constexpr (std::is_same_v<Byte, int8_t>) {
    if (reducingResampler_) signal = reducingResampler_->finish();
  }
  if (!reducingResampler_) {
    if (filled_ != kept.size()) kept.resize(filled_);
    signal = std::move(kept);
  }
  if (nbits_ == 16) say(options_.progress, "nbits=%d ===> Convert from nbits=16 to 8!", nbits_);
  return signal;
}

// The 8-bit signal widened to 16 bits.
template <typename Byte>
SampleBuffer widened(const SampleBufferOf<Byte>& narrow) {
  SampleBuffer wide(narrow.size());
  std::copy(narrow.samples().begin(), narrow.samples().end(), wide.samples().begin());
  return wide;
}

SampleBuffer WorkingSignalBuilder::finish() {
  if (store_ == Store::kReduced) return widened(finishNarrow(reducedSignal_));
  if (store_ == Store::kBytes) return widened(finishNarrow(byteSignal_));
  SampleBuffer signal;
  if (resampler_) {
    signal = resampler_->finish();
  } else {
    if (filled_ != signal_.size()) signal_.resize(filled_);
    signal = std::move(signal_);
  }
  if (nbits_ == 16) {
    say(options_.progress, "nbits=%d ===> Convert from nbits=16 to 8!", nbits_);
    if (options_.normalize) normalizeToFullRange(signal.samples());
    reduceSixteenBits(signal.samples());
  }
  return signal;
}

void normalizeToFullRange(std::span<int16_t> samples) {
  int64_t peak = 0;
  for (const int16_t v : samples) peak = std::max<int64_t>(peak, v < 0 ? -int64_t{v} : v);
  if (peak == 0) return;
  for (int16_t& v : samples) v = static_cast<int16_t>(int64_t{v} * 32767 / peak);
}

Contour WorkingSignalBuilder::finishContour() {
  if (store_ == Store::kReduced) {
    return contourOfWorkingSignal(finishNarrow(reducedSignal_), options_, level_);
  }
  if (store_ == Store::kBytes) {
    return contourOfWorkingSignal(finishNarrow(byteSignal_), options_, level_);
  }
  return contourOfWorkingSignal(finish(), options_, level_);
}

Contour contourOfWorkingSignal(SampleBuffer signal, const Options& options,
                               const InputLevel& level) {
  return contourOfBuffer(signal, options, level);
}

Contour contourOfWorkingSignal(NarrowSampleBuffer signal, const Options& options,
                               const InputLevel& level) {
  return contourOfBuffer(signal, options, level);
}

Contour contourOfWorkingSignal(ByteSampleBuffer signal, const Options& options,
                               const InputLevel& level) {
  return contourOfBuffer(signal, options, level);
}

Contour contourOfWorkingSignal(std::span<const int16_t> signal, const Options& options,
                               const InputLevel& level) {
  return contourOf(
      signal, [] {}, Settings{options, level});
}

}  // namespace pipeline

Contour extractContour(std::span<const int16_t> samples, int32_t fs, int32_t nbits,
                       const Options& options) {
  pipeline::checkInputFormat(fs, nbits);
  pipeline::checkIndexable(0, samples.size(), fs);
  pipeline::checkEightBitRange(samples, nbits);
  // The working format itself is analysed where it stands, without a copy.
  if (fs == pipeline::kWorkingRate && nbits == 8) {
    pipeline::InputLevel level(fs, nbits);
    if (options.warning) level.add(samples);
    return pipeline::contourOfWorkingSignal(samples, options, level);
  }
  pipeline::WorkingSignalBuilder builder(fs, nbits, static_cast<int64_t>(samples.size()), options);
  builder.push(samples);
  return builder.finishContour();
}

}  // namespace pitchtrack
