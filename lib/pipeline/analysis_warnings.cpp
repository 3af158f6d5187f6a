#include "analysis_warnings.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <string>

#include "audio/frame.h"

namespace pitchtrack::pipeline {

namespace {

std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string printed(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

Warning make(WarningKind kind, double start, double end, std::string message) {
  return Warning{kind, start, end, std::move(message)};
}

double lengthSeconds(const InputLevel& level) {
  return static_cast<double>(level.samples()) / level.fs();
}

// "-42.1 dBFS" (or "-inf dBFS" for digital silence).
std::string peakText(const InputLevel& level) {
  if (level.peak() == 0) return "-inf dBFS";
  const int32_t tenths = peakTenthsOfDb(level.peak(), level.fullScale());
  return printed("%s%d.%d dBFS", tenths < 0 ? "-" : "", std::abs(tenths) / 10,
                 std::abs(tenths) % 10);
}

}  // namespace

int32_t peakTenthsOfDb(int32_t peak, int32_t fullScale) {
  if (peak <= 0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(std::lround(200 * std::log10(static_cast<double>(peak) / fullScale)));
}

std::optional<Warning> clippingWarning(const InputLevel& level) {
  if (level.clippedSamples() == 0) return std::nullopt;
  const double start = static_cast<double>(level.firstClip()) / level.fs();
  return make(WarningKind::kClipping, start, lengthSeconds(level),
              printed("the recording clips: %lld samples sit at full scale in runs of %d or more, "
                      "the first at %.3f s; pitch there may be wrong, and no option repairs it "
                      "(record at a lower level)",
                      static_cast<long long>(level.clippedSamples()), kClipRunSamples, start));
}

std::optional<Warning> quietWarning(const InputLevel& level, bool normalize) {
  if (normalize || level.nbits() != 16 || level.peak() == 0 || level.peak() >= kQuietPeak) {
    return std::nullopt;
  }
  const int32_t steps = level.peak() / 256;
  return make(WarningKind::kQuietRecording, 0, lengthSeconds(level),
              printed("the peak level is %s: the reduction to 8 bits keeps %d step%s either side "
                      "of zero and loses most of the recording (0.000-%.3f s); --normalize scales "
                      "it to full range first",
                      peakText(level).c_str(), steps, steps == 1 ? "" : "s", lengthSeconds(level)));
}

Warning finalStretchWarning(const DroppedStretch& dropped) {
  return make(WarningKind::kFinalStretchDropped, dropped.stretch.start, dropped.stretch.end,
              printed("the final-gap rule dropped the last stretch of sound, %.3f-%.3f s: it "
                      "starts %.3f s after the one before (more than 0.7 s); --keep-final keeps "
                      "it",
                      dropped.stretch.start, dropped.stretch.end, dropped.gapSeconds));
}

std::optional<Warning> outsideRangeWarning(std::span<const double> firstPass, float lowest,
                                           float highest, double frameSeconds) {
  int64_t voiced = 0;
  int64_t outside = 0;
  size_t first = 0;
  size_t last = 0;
  for (size_t k = 0; k < firstPass.size(); ++k) {
    const double pitch = firstPass[k];
    if (pitch == 0) continue;
    ++voiced;
    if (pitch >= lowest && pitch <= highest) continue;
    if (outside++ == 0) first = k;
    last = k;
  }
  if (outside * 100 <= voiced * kOutsideRangePercent) return std::nullopt;
  const double start = static_cast<double>(first) * frameSeconds;
  const double end = static_cast<double>(last + 1) * frameSeconds;
  return make(WarningKind::kOutsideFinalRange, start, end,
              printed("most of the first pass (%lld of %lld voiced frames, %.3f-%.3f s) lies "
                      "outside the final pitch range, semitones %.1f-%.1f (%.0f-%.0f Hz) around "
                      "the median; those frames are read again inside it or lose their pitch, "
                      "and no option changes the range",
                      static_cast<long long>(outside), static_cast<long long>(voiced), start, end,
                      static_cast<double>(lowest), static_cast<double>(highest),
                      semitoneToHz(lowest), semitoneToHz(highest)));
}

std::optional<Warning> emptyContourWarning(const InputLevel& level, bool normalize,
                                           bool finalDropped) {
  if (level.peak() == 0) return std::nullopt;
  const bool quiet = !normalize && level.nbits() == 16 && level.peak() < kQuietPeak;
  const char* remedy = quiet          ? "--normalize may recover it"
                       : finalDropped ? "--keep-final keeps the dropped stretch"
                                      : "no frame kept a pitch through the voicing and range rules";
  return make(WarningKind::kEmptyContour, 0, lengthSeconds(level),
              printed("the contour is empty although the recording is not silent (0.000-%.3f s, "
                      "peak %s); %s",
                      lengthSeconds(level), peakText(level).c_str(), remedy));
}

}  // namespace pitchtrack::pipeline
