// The library's public entries (include/pitchtrack/pitchtrack.h) over the pipeline and the
// wave reader.
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "audio/frame.h"
#include "kept_warnings.h"
#include "pipeline/contour_builder.h"
#include "pipeline/extract_pitch.h"
#include "pitch_line.h"
#include "pitchtrack/pitchtrack.h"
#include "wave/container_signature.h"
#include "wave/riff.h"
#include "wave/sound_file.h"
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

// A WAV stream that ended before its stated data size: what arrived is the recording, and the
// warning says how much did not.
void warnIfCutShort(const WaveData& wave, const Options& options) {
  if (wave.missingBytes() == 0 || !options.warning) return;
  const double arrived = static_cast<double>(wave.monoLength()) / wave.getSampleRate();
  const double missing = static_cast<double>(wave.missingBytes()) /
                         static_cast<double>(wave.storedFrameBytes()) / wave.getSampleRate();
  char text[200];
  std::snprintf(text, sizeof text,
                "the stream ended %llu bytes (%.3f s) before the data size its header states; "
                "the recording is the %.3f s that arrived",
                static_cast<unsigned long long>(wave.missingBytes()), missing, arrived);
  options.warning(Warning{WarningKind::kStreamEndedEarly, arrived, arrived + missing, text});
}

void warnIfCutShort(const SoundFile& /*sound*/, const Options& /*options*/) {}

// The contour of an opened recording (WaveData or SoundFile), read block by block; `name` names
// it in errors.
template <typename Reader>
Contour trackOpened(Reader& reader, const std::string& name, const Options& options) {
  const bool known = reader.monoLengthKnown();
  const std::unique_ptr<pipeline::ContourBuilder> builder = pipeline::makeContourBuilder(
      reader.getSampleRate(), static_cast<int32_t>(reader.getBitsPerSample()),
      known ? static_cast<int64_t>(reader.monoLength()) : 0, options);
  std::vector<int16_t> block(known ? std::min(reader.monoLength(), kReadBlockSamples)
                                   : kReadBlockSamples);
  for (size_t done = 0; !reader.monoLengthKnown() || done < reader.monoLength();) {
    const size_t count = reader.readMono(block);
    if (reader.readFailed()) throw WaveError(name, reader.lastErrorCode(), reader.lastReason());
    if (count == 0) break;
    builder->push(std::span(block).first(count));
    done += count;
  }
  warnIfCutShort(reader, options);
  reader.release();
  return builder->finish();
}

Contour trackWave(riff::File file, const std::string& name, const Options& options) {
  WaveData wave(1, 8000, 8);
  if (!wave.openMono(std::move(file))) {
    throw WaveError(name, wave.lastErrorCode(), wave.lastReason());
  }
  return trackOpened(wave, name, options);
}

Contour trackSoundFile(riff::File file, Container container, const std::string& name,
                       const Options& options) {
  SoundFile sound;
  if (!sound.open(std::move(file), container)) {
    throw WaveError(name, sound.lastErrorCode(), sound.lastReason());
  }
  return trackOpened(sound, name, options);
}

// Tracks an opened file or stream with the reader its first bytes call for. Bytes that match
// no signature go to the WAV reader, which says what is wrong with them.
Contour readContainer(std::optional<riff::File> file, const std::string& openProblem,
                      const std::string& name, const Options& options) {
  if (!file) throw WaveError(name, WaveData::kFileOpen, openProblem);
  std::array<uint8_t, kSignatureBytes> head{};
  const Container container = identifyContainer(std::span(head).first(file->readSome(0, head)));
  switch (readerOf(container)) {
    case ContainerReader::kSoundFile:
      return trackSoundFile(std::move(*file), container, name, options);
    case ContainerReader::kNone:
      if (container == Container::kUnknown) break;
      throw WaveError(name, WaveData::kFormatMismatch,
                      std::string(containerName(container)) +
                          " not supported: convert it to WAV first, for example with "
                          "ffmpeg -i FILE -f wav - | pitchtrack - PITCHFILE");
    case ContainerReader::kOwnReader:
      break;
  }
  return trackWave(std::move(*file), name, options);
}

// The same, the warnings of the analysis kept on the contour.
Contour trackContainer(std::optional<riff::File> file, const std::string& openProblem,
                       const std::string& name, const Options& options) {
  KeptWarnings kept(options);
  return kept.attachTo(readContainer(std::move(file), openProblem, name, kept.options()));
}

}  // namespace

Contour trackFile(const std::string& path, const Options& options) {
  std::string problem;
  auto file = riff::File::open(path, problem);
  return trackContainer(std::move(file), problem, path, options);
}

Contour trackStream(int descriptor, const std::string& name, const Options& options) {
  std::string problem;
  auto file = riff::File::openDescriptor(descriptor, problem);
  return trackContainer(std::move(file), problem, name, options);
}

Contour trackMemory(const void* bytes, size_t size, const std::string& name,
                    const Options& options) {
  std::string problem;
  auto file = riff::File::openMemory(std::span(static_cast<const uint8_t*>(bytes), size), problem);
  return trackContainer(std::move(file), problem, name, options);
}

std::string soundFileLibraryVersion() { return SoundFile::libraryVersion(); }

Contour track(const int16_t* samples, size_t count, int32_t sampleRate, int32_t bitsPerSample,
              const Options& options) {
  KeptWarnings kept(options);
  if (options.analysis == Analysis::kDefault) {
    pipeline::checkFrameSink(options);
    return kept.attachTo(
        extractContour(std::span(samples, count), sampleRate, bitsPerSample, kept.options()));
  }
  const std::unique_ptr<pipeline::ContourBuilder> builder =
      pipeline::makeContourBuilder(sampleRate, bitsPerSample, 0, kept.options());
  builder->push(std::span(samples, count));
  return kept.attachTo(builder->finish());
}

namespace {

Options preciseOptions(Options options) {
  options.analysis = Analysis::kPrecise;
  return options;
}

}  // namespace

std::vector<Note> trackNotes(const std::string& path, const Options& options) {
  return trackFile(path, preciseOptions(options)).notes;
}

std::vector<Note> trackNotes(const int16_t* samples, size_t count, int32_t sampleRate,
                             int32_t bitsPerSample, const Options& options) {
  return track(samples, count, sampleRate, bitsPerSample, preciseOptions(options)).notes;
}

// A finished tracker keeps its state without the builder, so that a call after finish() and a
// call on a moved-from tracker (no state at all) are told apart.
struct Tracker::State {
  State(int32_t sampleRate, int32_t bitsPerSample, const Options& options)
      : kept(options),
        builder(pipeline::makeContourBuilder(sampleRate, bitsPerSample, 0, kept.options())) {}

  KeptWarnings kept;
  std::unique_ptr<pipeline::ContourBuilder> builder;
};

namespace {

// Says which misuse a call on a tracker without a builder is.
[[noreturn]] void refuseSpentTracker(bool movedFrom, const char* call) {
  throw std::logic_error(std::string("pitchtrack::Tracker::") + call +
                         (movedFrom ? " on a moved-from tracker" : " after finish"));
}

}  // namespace

Tracker::Tracker(int32_t sampleRate, int32_t bitsPerSample, const Options& options)
    : state_(std::make_unique<State>(sampleRate, bitsPerSample, options)) {}

Tracker::~Tracker() = default;
Tracker::Tracker(Tracker&&) noexcept = default;
Tracker& Tracker::operator=(Tracker&&) noexcept = default;

void Tracker::push(const int16_t* samples, size_t count) {
  if (!state_ || !state_->builder) refuseSpentTracker(!state_, "push");
  state_->builder->push(std::span(samples, count));
}

Contour Tracker::finish() {
  if (!state_ || !state_->builder) refuseSpentTracker(!state_, "finish");
  const std::unique_ptr<pipeline::ContourBuilder> builder = std::move(state_->builder);
  return state_->kept.attachTo(builder->finish());
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
