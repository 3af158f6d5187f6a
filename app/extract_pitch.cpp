#include "extract_pitch.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "audio/endpoint.h"
#include "audio/frame.h"
#include "audio/pitch_tracker.h"
#include "audio/pt_param.h"
#include "resample.h"

namespace {

constexpr int32_t kAutocorrelation = 2;
constexpr int32_t kTransitionWeight = 200;
constexpr int32_t kLocalWeight = 1;
constexpr float kLowestKeptPitch = 34.0f;
constexpr float kHighestKeptPitch = 90.0f;

// Samples read per block when a recording is resampled as it streams in.
constexpr size_t kStreamBlock = 1 << 16;

// The signal at 8000 Hz in the 8-bit range. Every value fits in 16 bits: the input does, linear
// interpolation never leaves the range of its two neighbours, and the 16-bit reduction divides.
// An 8000 Hz input that needs no reduction is used where it stands, without a copy; other rates
// are resampled block by block as the samples arrive.
class WorkingSignal {
 public:
  WorkingSignal(size_t length, const SampleReader& read, int32_t fs, int32_t& nbits) {
    if (fs != pipeline::kWorkingRate) {
      std::printf("fs=%d ===> Resample to have fs=%d\n", fs, pipeline::kWorkingRate);
      complete_ = resample(length, read, fs);
    } else {
      complete_ = readAll(length, read);
    }
    if (!complete_) return;
    view_ = owned_.samples();
    reduceSixteenBits(nbits);
  }

  WorkingSignal(std::span<const int16_t> samples, int32_t fs, int32_t& nbits) : view_(samples) {
    if (fs != pipeline::kWorkingRate) {
      std::printf("fs=%d ===> Resample to have fs=%d\n", fs, pipeline::kWorkingRate);
      StreamingResampler resampler(static_cast<int32_t>(samples.size()), fs,
                                   pipeline::kWorkingRate);
      resampler.push(samples);
      owned_ = resampler.finish();
      view_ = owned_.samples();
    }
    reduceSixteenBits(nbits);
  }

  // False when the reader ended before the announced length.
  bool complete() const { return complete_; }
  std::span<const int16_t> samples() const { return view_; }
  void release() {
    owned_ = {};
    view_ = {};
  }

 private:
  bool resample(size_t length, const SampleReader& read, int32_t fs) {
    StreamingResampler resampler(static_cast<int32_t>(length), fs, pipeline::kWorkingRate);
    std::vector<int16_t> block(std::min(length, kStreamBlock));
    for (size_t done = 0; done < length;) {
      const size_t count = read(std::span(block).first(std::min(block.size(), length - done)));
      if (count == 0) return false;
      resampler.push(std::span(block).first(count));
      done += count;
    }
    owned_ = resampler.finish();
    return true;
  }

  // Reads straight into the working signal, block by block.
  bool readAll(size_t length, const SampleReader& read) {
    owned_ = SampleBuffer(length);
    const std::span<int16_t> all = owned_.samples();
    for (size_t done = 0; done < length;) {
      const size_t count = read(all.subspan(done, std::min(kStreamBlock, length - done)));
      if (count == 0) return false;
      done += count;
    }
    return true;
  }

  void reduceSixteenBits(int32_t& nbits) {
    if (nbits != 16) return;
    std::printf("nbits=%d ===> Convert from nbits=16 to 8!\n", nbits);
    if (owned_.empty()) {
      owned_ = SampleBuffer(view_.size());
      std::copy(view_.begin(), view_.end(), owned_.samples().begin());
    }
    for (int16_t& v : owned_.samples()) v = static_cast<int16_t>(v / 256);
    view_ = owned_.samples();
    nbits = 8;
  }

  SampleBuffer owned_;
  std::span<const int16_t> view_;
  bool complete_ = true;
};

// 1 for every tracker frame that either of its detector frames places in a voiced segment.
std::vector<uint8_t> voicedMask(std::span<const int16_t> signal, const PtParam& ptParam,
                                int32_t frames) {
  std::vector<uint8_t> mask(static_cast<size_t>(frames), 0);
  EpdParam epdParam;
  setEpdParam(pipeline::kWorkingRate, epdParam);
  int32_t segmentCount = 0;
  const std::vector<Segment> segments =
      endpointDetect(signal, pipeline::kWorkingRate, epdParam, segmentCount);
  for (const Segment& segment : std::span(segments).first(static_cast<size_t>(segmentCount))) {
    for (int32_t j = segment.beginFrame; j <= segment.endFrame; ++j) {
      const int32_t centre = frame2sample(j, epdParam.frameSize, epdParam.overlap);
      const int32_t k = sample2frame(centre, ptParam.frameSize, ptParam.overlap);
      if (k < frames) mask[static_cast<size_t>(k)] = 1;
    }
  }
  return mask;
}

void clearUnvoiced(std::span<double> pitch, std::span<const uint8_t> voiced) {
  for (size_t k = 0; k < pitch.size(); ++k) {
    if (voiced[k] == 0) pitch[k] = 0;
  }
}

std::vector<int32_t> wholeSemitonesTimesTen(std::span<const double> pitch) {
  int32_t first = 0;
  int32_t last = 0;
  pipeline::findNonzeroBounds(pitch, first, last);
  std::vector<int32_t> contour;
  if (last < first) return contour;
  contour.reserve(static_cast<size_t>(last - first + 1));
  for (int32_t k = first; k <= last; ++k) {
    contour.push_back(10 * truncToInt(pitch[static_cast<size_t>(k)]));
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
  const auto values = pitch.first(m);
  const size_t t = (m - 1) / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<ptrdiff_t>(t), values.end());
  if (m % 2 == 1) return values[t];
  const double upper =
      *std::min_element(values.begin() + static_cast<ptrdiff_t>(t) + 1, values.end());
  return (values[t] + upper) / 2;
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

// Everything after the preparation: both passes, the voicing mask and the contour.
std::vector<int32_t> contourOf(WorkingSignal& working, int32_t nbits) {
  const std::span<const int16_t> signal = working.samples();
  PtParam ptParam;
  setPtParam(ptParam, pipeline::kWorkingRate, nbits, kAutocorrelation);
  const int32_t frames =
      frameCount(static_cast<int32_t>(signal.size()), ptParam.frameSize, ptParam.overlap);
  ptParam.transitionWeight = kTransitionWeight;
  ptParam.localWeight = kLocalWeight;
  // The median and the voicing mask need at least two tracker frames.
  if (frames < 2) return {};

  // Both passes share the range-independent analysis; only the pitch range differs.
  const FrameAnalysis analysis = analyseFrames(signal, ptParam);
  std::vector<double> pitch(static_cast<size_t>(frames), 0.0);
  trackPitch(analysis, ptParam, pitch);
  const std::vector<uint8_t> voiced = voicedMask(signal, ptParam, frames);
  working.release();
  clearUnvoiced(pitch, voiced);

  const double median = pipeline::voicedMedian(pitch);
  ptParam.minPitch = static_cast<float>(median - ptParam.pitchRangeWidth * 0.5);
  ptParam.maxPitch = static_cast<float>(median + ptParam.pitchRangeWidth * 0.5);

  std::fill(pitch.begin(), pitch.end(), 0.0);
  trackPitch(analysis, ptParam, pitch);
  clearUnvoiced(pitch, voiced);
  pipeline::clearOutOfRange(pitch, kLowestKeptPitch, kHighestKeptPitch);
  return wholeSemitonesTimesTen(pitch);
}

bool rateSupported(int32_t fs) {
  return fs >= pipeline::kMinInputRate && fs <= pipeline::kMaxInputRate;
}

}  // namespace

bool extractPitch(std::span<const int16_t> samples, std::vector<int32_t>& contour, int32_t fs,
                  int32_t nbits) {
  contour.clear();
  if (!rateSupported(fs)) return true;
  WorkingSignal working(samples, fs, nbits);
  contour = contourOf(working, nbits);
  return true;
}

bool extractPitch(size_t length, const SampleReader& read, std::vector<int32_t>& contour,
                  int32_t fs, int32_t nbits) {
  contour.clear();
  if (!rateSupported(fs) || length > static_cast<size_t>(INT32_MAX)) return true;
  WorkingSignal working(length, read, fs, nbits);
  if (!working.complete()) return false;
  contour = contourOf(working, nbits);
  return true;
}
