// The library's public entries (include/pitchtrack/pitchtrack.h) over the pipeline and the
// wave reader.
#include <string>
#include <utility>

#include "audio/frame.h"
#include "pipeline/contour_builder.h"
#include "pipeline/extract_pitch.h"
#include "pitch_line.h"
#include "pitchtrack/pitchtrack.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

// Samples decoded per read of a file: a few hundred kilobytes of working memory.
constexpr size_t kReadBlockSamples = 1 << 16;

}  // namespace

double Contour::frequencyHz(size_t i) const {
  if (values[i] == 0) return 0;
  if (i < hz.size()) return hz[i];
  return semitoneToHz(values[i] / 10.0);
}

WaveError::WaveError(std::string path, uint32_t code, std::string reason)
    : std::runtime_error(path + ": " + reason),
      path_(std::move(path)),
      code_(code),
      reason_(std::move(reason)) {}

const char* WaveError::codeText() const noexcept { return WaveData::errorText(code_); }

namespace {

// The contour of an opened recording, read block by block; `name` names it in errors.
Contour trackOpened(WaveData& wave, const std::string& name, const Options& options) {
  const bool known = wave.monoLengthKnown();
  const std::unique_ptr<pipeline::ContourBuilder> builder = pipeline::makeContourBuilder(
      wave.getSampleRate(), static_cast<int32_t>(wave.getBitsPerSample()),
      known ? static_cast<int64_t>(wave.monoLength()) : 0, options);
  std::vector<int16_t> block(known ? std::min(wave.monoLength(), kReadBlockSamples)
                                   : kReadBlockSamples);
  for (size_t done = 0; !wave.monoLengthKnown() || done < wave.monoLength();) {
    const size_t count = wave.readMono(block);
    if (wave.readFailed()) throw WaveError(name, wave.lastErrorCode(), wave.lastReason());
    if (count == 0) break;
    builder->push(std::span(block).first(count));
    done += count;
  }
  wave.release();
  return builder->finish();
}

}  // namespace

Contour trackFile(const std::string& path, const Options& options) {
  WaveData wave(1, 8000, 8);
  if (!wave.openMono(path)) throw WaveError(path, wave.lastErrorCode(), wave.lastReason());
  return trackOpened(wave, path, options);
}

Contour trackStream(int descriptor, const std::string& name, const Options& options) {
  WaveData wave(1, 8000, 8);
  if (!wave.openMono(descriptor)) throw WaveError(name, wave.lastErrorCode(), wave.lastReason());
  return trackOpened(wave, name, options);
}

Contour track(const int16_t* samples, size_t count, int32_t sampleRate, int32_t bitsPerSample,
              const Options& options) {
  if (options.analysis == Analysis::kDefault) {
    pipeline::checkFrameSink(options);
    return extractContour(std::span(samples, count), sampleRate, bitsPerSample, options);
  }
  const std::unique_ptr<pipeline::ContourBuilder> builder =
      pipeline::makeContourBuilder(sampleRate, bitsPerSample, 0, options);
  builder->push(std::span(samples, count));
  return builder->finish();
}

struct Tracker::State {
  State(int32_t sampleRate, int32_t bitsPerSample, const Options& options)
      : builder(pipeline::makeContourBuilder(sampleRate, bitsPerSample, 0, options)) {}

  std::unique_ptr<pipeline::ContourBuilder> builder;
};

Tracker::Tracker(int32_t sampleRate, int32_t bitsPerSample, const Options& options)
    : state_(std::make_unique<State>(sampleRate, bitsPerSample, options)) {}

Tracker::~Tracker() = default;
Tracker::Tracker(Tracker&&) noexcept = default;
Tracker& Tracker::operator=(Tracker&&) noexcept = default;

void Tracker::push(const int16_t* samples, size_t count) {
  if (!state_) throw std::logic_error("pitchtrack::Tracker::push after finish");
  state_->builder->push(std::span(samples, count));
}

Contour Tracker::finish() {
  if (!state_) throw std::logic_error("pitchtrack::Tracker::finish after finish");
  const std::unique_ptr<State> state = std::move(state_);
  return state->builder->finish();
}

std::string formatContour(const int32_t* values, size_t count) {
  return formatPitchLine(std::span(values, count));
}

int16_t sampleFromFloat(double x) { return floatToSample16(x); }

void mixDown(const int16_t* interleaved, size_t frames, size_t channels, int16_t* mono) {
  if (channels == 0) throw std::invalid_argument("pitchtrack::mixDown: no channels");
  mixDownFrames(std::span(interleaved, frames * channels), channels, std::span(mono, frames));
}

}  // namespace pitchtrack
