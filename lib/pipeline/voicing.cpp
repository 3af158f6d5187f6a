#include "voicing.h"

#include <algorithm>

#include "audio/endpoint.h"
#include "audio/frame.h"
#include "periodicity.h"

namespace pitchtrack::pipeline {

namespace {

// Long enough that no recording the analysis can index has a wider gap.
constexpr float kNoFinalGapLimit = 1.0e6f;

struct Detection {
  EpdParam param;
  std::vector<Segment> segments;             // the valid ones only
  std::optional<FinalGapDrop> finalGapDrop;  // what the final-gap rule dropped
};

template <typename Sample>
Detection detect(std::span<const Sample> signal, int32_t fs, bool keepFinal) {
  Detection detection;
  setEpdParam(fs, detection.param);
  if (keepFinal) detection.param.maxFinalGapSec = kNoFinalGapLimit;
  int32_t count = 0;
  detection.segments = endpointDetect(signal, fs, detection.param, count, &detection.finalGapDrop);
  detection.segments.resize(static_cast<size_t>(count));
  return detection;
}

std::vector<uint8_t> maskOf(const Detection& detection, const PtParam& ptParam, int32_t frames) {
  std::vector<uint8_t> mask(static_cast<size_t>(frames), 0);
  const EpdParam& epd = detection.param;
  for (const Segment& segment : detection.segments) {
    for (int32_t j = segment.beginFrame; j <= segment.endFrame; ++j) {
      const int32_t centre = frame2sample(j, epd.frameSize, epd.overlap);
      const int32_t k = sample2frame(centre, ptParam.frameSize, ptParam.overlap);
      if (k < frames) mask[static_cast<size_t>(k)] = 1;
    }
  }
  return mask;
}

double seconds(int32_t frame, const EpdParam& epd, int32_t fs) {
  return static_cast<double>(frame) * (epd.frameSize - epd.overlap) / fs;
}

// The stretch the final-gap rule dropped, with the silence before it.
std::optional<DroppedStretch> droppedStretch(const Detection& detection, int32_t fs) {
  if (!detection.finalGapDrop) return std::nullopt;
  const Segment& last = detection.finalGapDrop->dropped;
  DroppedStretch dropped;
  dropped.stretch = {seconds(last.beginFrame, detection.param, fs),
                     seconds(last.endFrame + 1, detection.param, fs)};
  dropped.gapSeconds =
      seconds(last.beginFrame - detection.finalGapDrop->previousEndFrame - 1, detection.param, fs);
  return dropped;
}

std::vector<uint8_t> periodicMask(std::span<const int16_t> signal, const PtParam& ptParam,
                                  int32_t frames) {
  return periodicFrames(signal, ptParam.frameSize, ptParam.frameSize - ptParam.overlap, frames);
}

// The same test on a signal held in 8 bits, each frame widened to 16 bits on its own.
template <typename Byte>
std::vector<uint8_t> periodicMask(std::span<const Byte> signal, const PtParam& ptParam,
                                  int32_t frames) {
  const auto size = static_cast<size_t>(ptParam.frameSize);
  const auto hop = static_cast<size_t>(ptParam.frameSize - ptParam.overlap);
  std::vector<uint8_t> periodic(static_cast<size_t>(frames), 0);
  std::vector<int16_t> frame(size);
  for (size_t f = 0; f < periodic.size() && f * hop + size <= signal.size(); ++f) {
    const auto narrow = signal.subspan(f * hop, size);
    std::copy(narrow.begin(), narrow.end(), frame.begin());
    periodic[f] = periodicFrame(frame) ? 1 : 0;
  }
  return periodic;
}

template <typename Sample>
VoicingResult voicingOf(std::span<const Sample> signal, const PtParam& ptParam, int32_t frames,
                        const Options& options, bool reportDropped) {
  const Detection detection = detect(signal, ptParam.fs, options.keepFinal);
  VoicingResult result;
  result.mask = maskOf(detection, ptParam, frames);
  if (reportDropped && !options.keepFinal) {
    result.dropped = droppedStretch(detection, ptParam.fs);
  }
  if (options.voicing == Voicing::kStrict) {
    const std::vector<uint8_t> periodic = periodicMask(signal, ptParam, frames);
    for (size_t k = 0; k < result.mask.size(); ++k) result.mask[k] &= periodic[k];
  }
  return result;
}

}  // namespace

VoicingResult voicing(std::span<const int16_t> signal, const PtParam& ptParam, int32_t frames,
                      const Options& options, bool reportDropped) {
  return voicingOf(signal, ptParam, frames, options, reportDropped);
}

VoicingResult voicing(std::span<const int8_t> signal, const PtParam& ptParam, int32_t frames,
                      const Options& options, bool reportDropped) {
  return voicingOf(signal, ptParam, frames, options, reportDropped);
}

VoicingResult voicing(std::span<const uint8_t> signal, const PtParam& ptParam, int32_t frames,
                      const Options& options, bool reportDropped) {
  return voicingOf(signal, ptParam, frames, options, reportDropped);
}

}  // namespace pitchtrack::pipeline
