// SoundFile over libsndfile: the container is opened through virtual I/O over forward reads, and
// each block of sample frames is converted as the library's own reader converts the same
// samples in a WAV file, then mixed down to one channel.
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "pitchtrack/limits.h"
#include "wave/sndfile_input.h"
#include "wave/sound_file.h"
#include "wave/stream_spool.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

// How the decoded samples of an encoding become the kept ones.
enum class SampleKind {
  kEightBit,  // unsigned 0..255, as 8-bit PCM in a WAV file
  kInteger,   // the top 16 bits of the left-justified 32-bit value
  kFloat,     // full scale -1..1 through floatToSample16
};

SampleKind sampleKindOf(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return SampleKind::kEightBit;
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_VORBIS:
    case SF_FORMAT_OPUS:
    case SF_FORMAT_MPEG_LAYER_I:
    case SF_FORMAT_MPEG_LAYER_II:
    case SF_FORMAT_MPEG_LAYER_III:
      return SampleKind::kFloat;
    default:
      return SampleKind::kInteger;
  }
}

// Whether libsndfile decodes the container reading forward only. The others seek back to their
// header or look at the end of the input first (MP3's tag and length, AIFF, CAF and Wave64's
// chunks), so a stream of them is copied to a temporary file first.
bool streamsForward(Container container) {
  switch (container) {
    case Container::kFlac:
    case Container::kOggVorbis:
    case Container::kOggOpus:
    case Container::kOggFlac:
    case Container::kOgg:
    case Container::kAu:
      return true;
    default:
      return false;
  }
}

// Sample frames decoded per call into libsndfile.
constexpr size_t kDecodeFrames = 4096;

struct Closer {
  void operator()(SNDFILE* sound) const { sf_close(sound); }
};

std::string rateProblem(int rate) {
  return "rate " + std::to_string(rate) + " Hz outside " + std::to_string(kMinSampleRate) + "-" +
         std::to_string(kMaxSampleRate) + " Hz";
}

std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

}  // namespace

struct SoundFile::Decoder {
  explicit Decoder(riff::File file) : input(std::move(file)) {}

  SndfileInput input;
  std::unique_ptr<SNDFILE, Closer> sound;
  SF_INFO info{};
  SampleKind kind = SampleKind::kInteger;
  Container container = Container::kUnknown;
  uint64_t framesRead = 0;
  std::vector<int32_t> integers;
  std::vector<double> floats;
  std::vector<int16_t> kept;

  // Reads up to `frames` sample frames into `kept` (interleaved); returns how many.
  size_t decode(size_t frames) {
    const size_t samples = frames * static_cast<size_t>(info.channels);
    kept.resize(samples);
    sf_count_t got = 0;
    if (kind == SampleKind::kFloat) {
      floats.resize(samples);
      got = sf_readf_double(sound.get(), floats.data(), static_cast<sf_count_t>(frames));
      std::transform(floats.begin(), floats.end(), kept.begin(), floatToSample16);
    } else {
      integers.resize(samples);
      got = sf_readf_int(sound.get(), integers.data(), static_cast<sf_count_t>(frames));
      const int offset = kind == SampleKind::kEightBit ? 128 : 0;
      const int shift = kind == SampleKind::kEightBit ? 24 : 16;
      std::transform(integers.begin(), integers.end(), kept.begin(),
                     [=](int32_t v) { return static_cast<int16_t>((v >> shift) + offset); });
    }
    return got > 0 ? static_cast<size_t>(got) : 0;
  }
};

std::string SoundFile::libraryVersion() { return sf_version_string(); }

SoundFile::SoundFile() = default;
SoundFile::~SoundFile() = default;

bool SoundFile::open(riff::File file, Container container) {
  release();
  const std::string name = containerName(container);
  if (file.isStream() && !streamsForward(container)) {
    std::string problem;
    auto spooled = spoolToTemporaryFile(file, problem);
    if (!spooled) return fail(WaveData::kFileOpen, name + ": " + problem);
    file = std::move(*spooled);
  }
  auto decoder = std::make_unique<Decoder>(std::move(file));
  decoder->container = container;
  SF_VIRTUAL_IO callbacks = sndfileInputCallbacks();
  decoder->sound.reset(sf_open_virtual(&callbacks, SFM_READ, &decoder->info, &decoder->input));
  if (!decoder->sound) return fail(WaveData::kFormatMismatch, name + ": " + sf_strerror(nullptr));
  if (!sampleRateSupported(decoder->info.samplerate)) {
    return fail(WaveData::kFormatMismatch, name + ": " + rateProblem(decoder->info.samplerate));
  }
  if (decoder->info.channels <= 0) return fail(WaveData::kFormatMismatch, name + ": no channels");
  decoder->kind = sampleKindOf(decoder->info.format);
  sampleRate_ = decoder->info.samplerate;
  bitsPerSample_ = decoder->kind == SampleKind::kEightBit ? 8 : 16;
  decoder_ = std::move(decoder);
  failed_ = false;
  lastErrorCode_ = WaveData::kNoError;
  lastReason_.clear();
  return true;
}

size_t SoundFile::readMono(std::span<int16_t> block) {
  if (!decoder_ || failed_) return 0;
  const size_t frames = decoder_->decode(std::min(block.size(), kDecodeFrames));
  if (frames == 0 && sf_error(decoder_->sound.get()) != SF_ERR_NO_ERROR) {
    failed_ = true;
    const double at = static_cast<double>(decoder_->framesRead) / sampleRate_;
    fail(WaveData::kDataRead, std::string(containerName(decoder_->container)) + ": " +
                                  sf_strerror(decoder_->sound.get()) + " at " + secondsText(at));
    return 0;
  }
  const auto channels = static_cast<size_t>(decoder_->info.channels);
  mixDownFrames(std::span(decoder_->kept).first(frames * channels), channels, block.first(frames));
  decoder_->framesRead += frames;
  return frames;
}

void SoundFile::release() { decoder_.reset(); }

bool SoundFile::fail(uint32_t code, std::string reason) {
  lastErrorCode_ = code;
  lastReason_ = std::move(reason);
  return false;
}

}  // namespace pitchtrack
