#include "wave/wave_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "wave/container_signature.h"
#include "wave/g711.h"
#include "wave/mono_stream.h"
#include "wave/riff.h"

namespace pitchtrack {

namespace {

using wave::Decoder;
using wave::sampleAt;

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagALaw = 6;
constexpr uint16_t kTagMuLaw = 7;
constexpr uint16_t kTagExtensible = 0xFFFE;

constexpr riff::FourCc kWaveForm = riff::fourCc("WAVE");
constexpr riff::FourCc kFormatId = riff::fourCc("fmt ");
constexpr riff::FourCc kDataId = riff::fourCc("data");

// The shortest "fmt " chunk that still names tag, layout, rate and sample size.
constexpr uint32_t kMinFormatChunkBytes = 16;
// WAVE_FORMAT_EXTENSIBLE keeps the real tag in the first two bytes of its sub-format GUID.
constexpr size_t kSubFormatOffset = 24;
// File bytes read at a time while streaming.
constexpr size_t kReadBlockBytes = 256 * 1024;

// The data sizes that recorders writing to a pipe put in the header because they cannot know
// the length: "the data runs to the end of the input" (sox and espeak-ng write 0x7FFFF000,
// arecord 0x80000000, others all ones).
bool isStreamingPlaceholder(uint32_t size) {
  return size == 0xFFFFFFFFu || size == 0x7FFFF000u || size == 0x80000000u;
}

void putSample16(std::span<uint8_t> out, size_t index, int16_t value) {
  riff::storeLe16(out, 2 * index, static_cast<uint16_t>(value));
}

// Keeping the two most significant bytes of a little-endian sample is the arithmetic shift
// right by (bits - 16) of its value.
template <size_t Bytes>
void keepTopSixteenBits(std::span<const uint8_t> in, std::span<uint8_t> out) {
  for (size_t i = 0; i < in.size() / Bytes; ++i) {
    out[2 * i] = in[i * Bytes + Bytes - 2];
    out[2 * i + 1] = in[i * Bytes + Bytes - 1];
  }
}

// The float whose bits are `bits` (std::bit_cast, which emscripten's standard library lacks).
template <typename Float, typename Bits>
Float floatOfBits(Bits bits) {
  static_assert(sizeof(Float) == sizeof(Bits));
  Float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

template <typename Float>
Float loadFloat(std::span<const uint8_t> in, size_t index) {
  if constexpr (sizeof(Float) == 4) {
    return floatOfBits<Float>(riff::loadLe32(in, index * 4));
  } else {
    return floatOfBits<Float>(riff::loadLe64(in, index * 8));
  }
}

template <typename Float>
void floatToPcm16(std::span<const uint8_t> in, std::span<uint8_t> out) {
  for (size_t i = 0; i < in.size() / sizeof(Float); ++i) {
    putSample16(out, i, floatToSample16(loadFloat<Float>(in, i)));
  }
}

template <int16_t (*Expand)(uint8_t)>
void expandG711(std::span<const uint8_t> in, std::span<uint8_t> out) {
  for (size_t i = 0; i < in.size(); ++i) putSample16(out, i, Expand(in[i]));
}

std::optional<Decoder> pcmDecoder(uint16_t bits) {
  switch (bits) {
    case 8:
      return Decoder{1, 8, nullptr};
    case 16:
      return Decoder{2, 16, nullptr};
    case 24:
      return Decoder{3, 16, &keepTopSixteenBits<3>};
    case 32:
      return Decoder{4, 16, &keepTopSixteenBits<4>};
    default:
      return std::nullopt;
  }
}

std::optional<Decoder> floatDecoder(uint16_t bits) {
  if (bits == 32) return Decoder{4, 16, &floatToPcm16<float>};
  if (bits == 64) return Decoder{8, 16, &floatToPcm16<double>};
  return std::nullopt;
}

// G.711 data has one byte per sample whatever the file says its sample size is.
std::optional<Decoder> chooseDecoder(uint16_t tag, uint16_t bits, uint16_t subFormatTag) {
  switch (tag == kTagExtensible ? subFormatTag : tag) {
    case kTagPcm:
      return pcmDecoder(bits);
    case kTagFloat:
      return floatDecoder(bits);
    case kTagMuLaw:
      return Decoder{1, 16, &expandG711<g711::muLawToLinear>};
    case kTagALaw:
      return Decoder{1, 16, &expandG711<g711::aLawToLinear>};
    default:
      return std::nullopt;
  }
}

bool layoutAcceptable(uint16_t channels, int32_t samplesPerSec) {
  return channels != 0 && sampleRateSupported(samplesPerSec);
}

// Lays the start of a "fmt " chunk over record: a short chunk leaves the later fields as they
// were. Returns the extensible sub-format tag (0 when the chunk is too short to hold one), or
// nullopt when the chunk cannot describe a format or is cut off by the end of the file.
template <size_t RecordBytes>
std::optional<uint16_t> readFormatChunk(riff::File& file, const riff::ChunkHeader& chunk,
                                        std::array<uint8_t, RecordBytes>& record) {
  if (chunk.size < kMinFormatChunkBytes || chunk.size > file.bytesFrom(chunk.payloadOffset())) {
    return std::nullopt;
  }
  const size_t overlaid = std::min<size_t>(chunk.size, RecordBytes);
  if (!file.read(chunk.payloadOffset(), std::span(record).first(overlaid))) return std::nullopt;
  std::array<uint8_t, 2> subFormat{};
  if (chunk.size >= kSubFormatOffset + subFormat.size() &&
      !file.read(chunk.payloadOffset() + kSubFormatOffset, subFormat)) {
    return std::nullopt;
  }
  return riff::loadLe16(subFormat, 0);
}

// The data a declared size (or the end of the file) gives: no size limit, since the data is read
// block by block.
bool dataSizeAcceptable(const riff::File& file, const riff::ChunkHeader& chunk, uint64_t bytes) {
  return bytes != 0 && bytes <= file.bytesFrom(chunk.payloadOffset());
}

// Mixes whole sample frames into `mono`: the sum of the channels divided by the channel count,
// truncating toward zero. `sample(i)` is the i-th interleaved sample.
template <typename SampleAt>
void mixFrames(SampleAt sample, size_t channels, std::span<int16_t> mono) {
  if (channels == 1) {
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = static_cast<int16_t>(sample(i));
    return;
  }
  const auto divisor = static_cast<int64_t>(channels);
  for (size_t frame = 0; frame < mono.size(); ++frame) {
    int64_t sum = 0;
    for (size_t c = 0; c < channels; ++c) sum += sample(frame * channels + c);
    mono[frame] = static_cast<int16_t>(sum / divisor);
  }
}

template <uint16_t Bits>
void mixBits(std::span<const uint8_t> data, size_t channels, std::span<int16_t> mono) {
  mixFrames([data](size_t i) { return sampleAt<Bits>(data, i); }, channels, mono);
}

std::string hexTag(uint16_t tag) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", tag);
  return text;
}

// Names of the encodings a person is likely to meet in a WAVE file that this reader refuses.
const char* encodingName(uint16_t tag) {
  switch (tag) {
    case 0x0002:
      return "Microsoft ADPCM";
    case 0x0011:
      return "IMA ADPCM";
    case 0x0031:
      return "GSM 6.10";
    case 0x0040:
      return "G.721 ADPCM";
    case 0x0050:
      return "MPEG";
    case 0x0055:
      return "MPEG Layer 3";
    case 0x00FF:
      return "AAC";
    case 0x0160:
    case 0x0161:
      return "Windows Media Audio";
    case 0xF1AC:
      return "FLAC";
    default:
      return nullptr;
  }
}

std::string encodingProblem(uint16_t tag, uint16_t bits, uint16_t subFormatTag) {
  const uint16_t real = tag == kTagExtensible ? subFormatTag : tag;
  if (real == kTagPcm || real == kTagFloat) {
    return "unsupported sample size: " + std::to_string(bits) + "-bit " +
           (real == kTagPcm ? "PCM" : "float");
  }
  const char* name = encodingName(real);
  return std::string("unsupported encoding ") + (name != nullptr ? name : "") +
         (name != nullptr ? " (" : "(") + hexTag(real) + ")";
}

std::string layoutProblem(uint16_t channels, int32_t samplesPerSec) {
  if (channels == 0) return "no channels";
  return "rate " + std::to_string(samplesPerSec) + " Hz outside " + std::to_string(kMinSampleRate) +
         "-" + std::to_string(kMaxSampleRate) + " Hz";
}

std::string formatChunkProblem(const riff::File& file, const riff::ChunkHeader& chunk) {
  if (chunk.size < kMinFormatChunkBytes) return "fmt chunk too short";
  if (chunk.size > file.bytesFrom(chunk.payloadOffset())) {
    return "truncated: the file ends inside the fmt chunk";
  }
  return "read error in the fmt chunk";
}

std::string dataChunkProblem(const riff::File& file, const riff::ChunkHeader& chunk,
                             uint64_t bytes) {
  if (bytes == 0) return "empty data chunk";
  if (bytes > file.bytesFrom(chunk.payloadOffset())) {
    return "truncated: the file ends inside the data chunk";
  }
  return "read error in the data chunk";
}

}  // namespace

namespace wave {

void mixInto(uint16_t keptBits, std::span<const uint8_t> data, size_t channels,
             std::span<int16_t> mono) {
  if (keptBits == 8) {
    mixBits<8>(data, channels, mono);
  } else {
    mixBits<16>(data, channels, mono);
  }
}

}  // namespace wave

// What a stream holds now, up to `stored`'s size, in whole sample frames: the bytes of a frame
// begun wait in `carry` for the next read, so that a pipe's samples reach the analysis as they
// come whatever pieces its writer writes. Waits only while not even one frame is there; at the
// end of the stream returns what is left (less than a frame).
size_t WaveData::MonoStream::readWholeFrames(uint64_t offset, size_t frameBytes) {
  size_t got = carry.size();
  std::copy(carry.begin(), carry.end(), stored.begin());
  while (got < frameBytes) {
    const size_t count = file->readAvailable(offset + got, std::span(stored).subspan(got));
    if (count == 0) {
      carry.clear();
      return got;
    }
    got += count;
  }
  const size_t whole = got - got % frameBytes;
  carry.assign(stored.begin() + static_cast<std::ptrdiff_t>(whole),
               stored.begin() + static_cast<std::ptrdiff_t>(got));
  return whole;
}

size_t WaveData::MonoStream::read(std::span<int16_t> block) {
  const size_t frameBytes = decoder.storedBytes * channels;
  const size_t keptFrameBytes = decoder.keptBits / 8 * channels;
  // Each read holds a bounded number of file bytes whatever the channel count.
  size_t count = std::min({block.size(), std::max<size_t>(1, kReadBlockBytes / frameBytes),
                           toEnd ? block.size() : static_cast<size_t>(frames - done)});
  if (count == 0) return 0;
  stored.resize(count * frameBytes);
  const uint64_t offset = chunk.payloadOffset() + done * frameBytes;
  const size_t got =
      file->isStream() ? readWholeFrames(offset, frameBytes) : file->readSome(offset, stored);
  const bool ended = file->isStream() ? got == 0 || got % frameBytes != 0 : got < stored.size();
  if (ended) {
    if (!toEnd && !file->isStream()) {
      failed = true;
      return 0;
    }
    // A stream ended: the recording is its whole frames, and what its header promised beyond
    // them is counted as missing.
    if (!toEnd) missing = chunk.size - (done * frameBytes + got);
    frames = done + got / frameBytes;
    toEnd = false;
  }
  count = got / frameBytes;
  stored.resize(count * frameBytes);
  std::span<const uint8_t> linear = stored;
  if (decoder.convert != nullptr) {
    kept.resize(count * keptFrameBytes);
    decoder.convert(stored, kept);
    linear = kept;
  }
  wave::mixInto(decoder.keptBits, linear, channels, block.first(count));
  done += count;
  return count;
}

int16_t floatToSample16(double x) {
  if (std::isnan(x)) return 0;
  return static_cast<int16_t>(std::clamp(std::round(x * 32768.0), -32768.0, 32767.0));
}

void mixDownFrames(std::span<const int16_t> interleaved, size_t channels, std::span<int16_t> mono) {
  mixFrames([interleaved](size_t i) { return int32_t{interleaved[i]}; }, channels, mono);
}

WaveData::~WaveData() = default;

WaveData::WaveData(int32_t channels, int32_t samplesPerSec, int32_t bitsPerSample) {
  create(channels, samplesPerSec, bitsPerSample);
}

bool WaveData::create(int32_t channels, int32_t samplesPerSec, int32_t bitsPerSample) {
  release();
  formatTag_ = kTagPcm;
  channels_ = static_cast<uint16_t>(channels);
  samplesPerSec_ = samplesPerSec;
  bitsPerSample_ = static_cast<uint16_t>(bitsPerSample);
  blockAlign_ = static_cast<uint16_t>(bitsPerSample_ * channels_ / 8);
  avgBytesPerSec_ = static_cast<int32_t>(int64_t{blockAlign_} * samplesPerSec);
  extraFormatBytes_ = 0;
  return true;
}

bool WaveData::release() {
  std::vector<uint8_t>().swap(data_);
  stream_.reset();
  return true;
}

bool WaveData::openMono(const std::string& fileName) {
  release();
  std::string reason;
  return openMonoFrom(riff::File::open(fileName, reason), reason);
}

bool WaveData::openMono(int descriptor) {
  release();
  std::string reason;
  return openMonoFrom(riff::File::openDescriptor(descriptor, reason), reason);
}

bool WaveData::openMono(riff::File file) {
  release();
  return openMonoFrom(std::move(file), "");
}

bool WaveData::openMonoFrom(std::optional<riff::File> file, const std::string& reason) {
  if (!file) return fail(kFileOpen, reason);
  auto stream = std::make_unique<MonoStream>();
  Failure failure = loadFrom(*file, *stream);
  if (failure.code != kNoError) return fail(failure.code, std::move(failure.reason));
  succeed();
  stream->file = std::move(file);
  stream_ = std::move(stream);
  return true;
}

size_t WaveData::monoLength() const { return stream_ ? stream_->frames : 0; }

bool WaveData::monoLengthKnown() const { return !stream_ || !stream_->toEnd; }

size_t WaveData::readMono(std::span<int16_t> block) {
  if (!stream_) return 0;
  const size_t count = stream_->read(block);
  if (stream_->failed) fail(kDataRead, "truncated: the file ends inside the data chunk");
  return count;
}

bool WaveData::readFailed() const { return stream_ && stream_->failed; }

uint64_t WaveData::missingBytes() const { return stream_ ? stream_->missing : 0; }

size_t WaveData::storedFrameBytes() const {
  return stream_ ? stream_->decoder.storedBytes * stream_->channels : 0;
}

WaveData::Failure WaveData::loadFrom(riff::File& file, MonoStream& stream) {
  // A stream may never end: anything but a container the reader takes is refused at once.
  if (file.isStream()) {
    std::array<uint8_t, kSignatureBytes> head{};
    const size_t got = file.readSome(0, head);
    if (identifyContainer(std::span(head).first(got)) != Container::kRiffWave) {
      return {kChunkRead, "not a RIFF WAVE file"};
    }
  }
  const auto form = file.findForm(kWaveForm);
  if (!form) return {kChunkRead, "not a RIFF WAVE file"};
  const uint64_t formStart = form->payloadOffset() + riff::kFormTypeBytes;
  const auto format = file.findChunk(kFormatId, formStart);
  if (!format) return {kChunkRead, "no fmt chunk"};
  FormatRecord record = formatRecord();
  const auto subFormatTag = readFormatChunk(file, *format, record);
  if (!subFormatTag) return {kChunkRead, formatChunkProblem(file, *format)};
  setFormatRecord(record);
  const auto data = file.findChunk(kDataId, format->nextOffset());
  if (!data) {
    const bool before = file.findChunk(kDataId, formStart).has_value();
    return {kChunkRead, before ? "the data chunk comes before the fmt chunk" : "no data chunk"};
  }
  // A placeholder size that runs past the end means the data runs to the end of the input,
  // however far that is (a saved file's real data may pass 4 GiB).
  riff::ChunkHeader dataChunk = *data;
  const bool toEnd = isStreamingPlaceholder(data->size) &&
                     (file.isStream() || data->size > file.bytesFrom(data->payloadOffset()));
  const bool unknownLength = toEnd && file.isStream();
  const uint64_t dataBytes =
      toEnd && !file.isStream() ? file.bytesFrom(data->payloadOffset()) : data->size;
  if (toEnd && !file.isStream()) {
    dataChunk.size = static_cast<uint32_t>(std::min<uint64_t>(dataBytes, UINT32_MAX));
  }
  if (!unknownLength && !dataSizeAcceptable(file, dataChunk, dataBytes)) {
    return {kDataRead, dataChunkProblem(file, dataChunk, dataBytes)};
  }
  const auto decoder = chooseDecoder(formatTag_, bitsPerSample_, *subFormatTag);
  if (!decoder)
    return {kFormatMismatch, encodingProblem(formatTag_, bitsPerSample_, *subFormatTag)};
  if (!layoutAcceptable(channels_, samplesPerSec_)) {
    return {kFormatMismatch, layoutProblem(channels_, samplesPerSec_)};
  }
  stream.chunk = dataChunk;
  stream.decoder = *decoder;
  stream.channels = channels_;
  stream.toEnd = unknownLength;
  stream.frames = unknownLength ? 0 : dataBytes / (decoder->storedBytes * channels_);
  setPcmFormat(decoder->keptBits);
  return {};
}

WaveData::FormatRecord WaveData::formatRecord() const {
  FormatRecord record{};
  riff::storeLe16(record, 0, formatTag_);
  riff::storeLe16(record, 2, channels_);
  riff::storeLe32(record, 4, static_cast<uint32_t>(samplesPerSec_));
  riff::storeLe32(record, 8, static_cast<uint32_t>(avgBytesPerSec_));
  riff::storeLe16(record, 12, blockAlign_);
  riff::storeLe16(record, 14, bitsPerSample_);
  riff::storeLe16(record, 16, extraFormatBytes_);
  return record;
}

void WaveData::setFormatRecord(const FormatRecord& record) {
  formatTag_ = riff::loadLe16(record, 0);
  channels_ = riff::loadLe16(record, 2);
  samplesPerSec_ = static_cast<int32_t>(riff::loadLe32(record, 4));
  avgBytesPerSec_ = static_cast<int32_t>(riff::loadLe32(record, 8));
  blockAlign_ = riff::loadLe16(record, 12);
  bitsPerSample_ = riff::loadLe16(record, 14);
  extraFormatBytes_ = riff::loadLe16(record, 16);
}

void WaveData::setPcmFormat(uint16_t bitsPerSample) {
  formatTag_ = kTagPcm;
  bitsPerSample_ = bitsPerSample;
  blockAlign_ = static_cast<uint16_t>(channels_ * bitsPerSample / 8);
  avgBytesPerSec_ = static_cast<int32_t>(int64_t{samplesPerSec_} * blockAlign_);
}

const char* WaveData::errorText(uint32_t code) {
  switch (code) {
    case kNoError:
      return "No error.";
    case kFormatMismatch:
      return "Wave format mismatch.";
    case kFileOpen:
      return "File open error.";
    case kChunkRead:
      return "File chunk read error.";
    case kDataRead:
      return "File data read error.";
    default:
      return "Unspecified error.";
  }
}

bool WaveData::fail(uint32_t code, std::string reason) {
  lastError_ = errorText(code);
  lastErrorCode_ = code;
  lastReason_ = std::move(reason);
  return false;
}

bool WaveData::succeed() {
  lastErrorCode_ = kNoError;
  lastReason_.clear();
  return true;
}

}  // namespace pitchtrack
