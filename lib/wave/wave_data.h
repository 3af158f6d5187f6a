// WaveData: the reader of RIFF WAVE files.
//
// The object holds the file's format (laid out as the 18-byte "fmt " record) and the text of its
// last fault. openMono() walks the RIFF chunks itself, reads the first "fmt " and the first
// "data" chunk of the first RIFF/WAVE form, and readMono() normalises every accepted encoding to
// linear PCM of 8 bits (unsigned bytes) or 16 bits (signed little-endian) block by block:
//   - 8- and 16-bit PCM stay as they are;
//   - mu-law (tag 7) and A-law (tag 6) are expanded by G.711 to 16 bits, one sample per byte;
//   - 24- and 32-bit integer PCM keep the top 16 bits of each sample;
//   - 32- and 64-bit IEEE float become x * 32768 rounded half away from zero, clamped, NaN -> 0;
//   - WAVE_FORMAT_EXTENSIBLE takes its real tag from its sub-format.
// Anything else fails the open. After a successful open formatTag is 1 and bitsPerSample 8 or 16.
//
// Every failure returns false and leaves the reason in lastError(), taken from a fixed numbered
// table ("File open error.", "File chunk read error.", "File data read error.", ...). Rates
// outside kMinSampleRate..kMaxSampleRate (sampleRateSupported) are refused.
//
// The object only reads files; it never captures or plays sound.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pitchtrack/limits.h"

namespace pitchtrack {

namespace riff {
class File;
}

// A float sample of full scale -1..1 as the reader keeps it: x * 32768 rounded half away from
// zero, clamped to the 16-bit range; NaN gives 0.
int16_t floatToSample16(double x);

// Mixes mono.size() sample frames of `channels` interleaved samples into one channel as the
// reader does: the sum of each frame divided by the channel count, truncating toward zero.
void mixDownFrames(std::span<const int16_t> interleaved, size_t channels, std::span<int16_t> mono);

class WaveData {
 public:
  // The numbered faults of a read; the texts are those of errorText(). The numbers are part of
  // the public interface (WaveError::code), so they keep their values.
  enum ErrorCode : uint32_t {
    kNoError = 0,
    kFormatMismatch = 1,
    kFileOpen = 4,
    kChunkRead = 6,
    kDataRead = 7,
  };

  WaveData(int32_t channels, int32_t samplesPerSec, int32_t bitsPerSample);
  ~WaveData();
  WaveData(const WaveData&) = delete;
  WaveData& operator=(const WaveData&) = delete;

  // Drops the data and sets a PCM format with the given layout. Always succeeds here.
  bool create(int32_t channels, int32_t samplesPerSec, int32_t bitsPerSample);
  // Frees the sample data; the format is kept.
  bool release();

  int32_t getSampleRate() const { return samplesPerSec_; }
  uint32_t getBitsPerSample() const { return bitsPerSample_; }
  int32_t getDataBytes() const { return static_cast<int32_t>(data_.size()); }
  uint16_t getChannels() const { return channels_; }
  uint16_t getFormatTag() const { return formatTag_; }
  uint16_t getBlockAlign() const { return blockAlign_; }
  // Whole-file reads, for the tests and fuzzers only: tests/support/whole_wave_file.cpp defines
  // them and is compiled into those programs; the library itself reads block by block.
  //
  // load() reads fileName whole: the format as after openMono, the kept samples in memory
  // (getDataBytes). On failure it returns false and sets lastError(); a failed load may leave
  // the format members partly overwritten, as the file described them.
  bool load(const std::string& fileName);
  // Number of loaded samples of all channels together: dataBytes / (bitsPerSample / 8).
  int32_t getSampleCount() const;
  // Writes up to count loaded samples (all channels interleaved, in file order) into
  // destination: 8-bit data as the unsigned values 0..255, 16-bit data as signed values. Returns
  // the number written (count lowered to getSampleCount() and to destination's size). A count of
  // zero or below writes nothing and is returned unchanged.
  int32_t readSamples(std::span<int32_t> destination, int32_t count) const;
  // The loaded signal as one channel, as readMono would give it.
  std::vector<int16_t> monoSamples() const;

  // Streaming reads for long recordings. openMono validates fileName and stops before its
  // sample data; the format getters then describe the file, getDataBytes() is 0, and readMono
  // decodes the data block by block into one channel of 16-bit values (per sample frame, the sum
  // of its channels divided by the channel count, truncating toward zero; 8-bit data as
  // unsigned 0..255; a trailing partial frame is dropped), so that no copy of the whole file's
  // samples is ever held.
  bool openMono(const std::string& fileName);
  // The same from an open descriptor (standard input, a pipe), read forward only; the descriptor
  // stays open and the caller's.
  bool openMono(int descriptor);
  // The same from a file already opened, whose first bytes may have been looked at.
  bool openMono(riff::File file);
  // Number of mono samples the opened file holds (its whole sample frames). When the data runs
  // to the end of a stream (a streaming placeholder size on a pipe), the length is not known
  // until readMono reaches the end: monoLengthKnown() is false until then.
  size_t monoLength() const;
  bool monoLengthKnown() const;
  // Decodes the next samples into `block` (as many as fit, fewer at the end); returns how many.
  // From a stream (a pipe, a socket) it returns the whole sample frames that have arrived,
  // waiting only while none has, so that a live recording reaches the analysis as it comes.
  // 0 means the end or a read error; a read error sets lastError() to "File data read error."
  // and makes readFailed() true.
  size_t readMono(std::span<int16_t> block);
  bool readFailed() const;
  // Bytes of the data chunk that never arrived: a stream (not a regular file) that ends before
  // the size its header states ends the recording there, and readMono reports the end.
  uint64_t missingBytes() const;
  // Bytes of one sample frame as stored, so that missingBytes() can be put in seconds.
  size_t storedFrameBytes() const;

  const std::string& lastError() const { return lastError_; }
  // What a person needs to know about the last failure: "no such file", "not a RIFF WAVE file",
  // "no data chunk", "unsupported encoding IMA ADPCM (0x0011)", "rate 800000 Hz outside
  // 1000-768000 Hz", "truncated: the file ends inside the data chunk", ...
  const std::string& lastReason() const { return lastReason_; }
  // The numbered code of the last failure (kNoError after a success).
  uint32_t lastErrorCode() const { return lastErrorCode_; }

  // The text of a code of the numbered table ("Unspecified error." for unknown codes).
  static const char* errorText(uint32_t code);

 private:
  // The "fmt " record as stored in a file: tag, channels, rate, bytes per second, block align,
  // bits per sample and the count of extra format bytes, all little-endian.
  static constexpr size_t kFormatRecordBytes = 18;
  using FormatRecord = std::array<uint8_t, kFormatRecordBytes>;

  bool succeed();
  bool fail(uint32_t code, std::string reason);
  bool openMonoFrom(std::optional<riff::File> file, const std::string& reason);
  // A failure of the load: its numbered code and its reason.
  struct Failure {
    uint32_t code = kNoError;
    std::string reason;
  };
  // State of a streaming read (the open file, the data chunk and its decoder); wave/mono_stream.h.
  struct MonoStream;

  // Everything up to the sample data once the file is open: the format, and in `stream` where
  // the data lies and how it decodes.
  Failure loadFrom(riff::File& file, MonoStream& stream);
  FormatRecord formatRecord() const;
  void setFormatRecord(const FormatRecord& record);
  // The format of the kept linear PCM samples: tag 1, the file's channels and rate.
  void setPcmFormat(uint16_t bitsPerSample);

  uint16_t formatTag_ = 1;
  uint16_t channels_ = 1;
  int32_t samplesPerSec_ = 8000;
  int32_t avgBytesPerSec_ = 8000;
  uint16_t blockAlign_ = 1;
  uint16_t bitsPerSample_ = 8;
  uint16_t extraFormatBytes_ = 0;
  std::vector<uint8_t> data_;
  std::unique_ptr<MonoStream> stream_;
  std::string lastError_;
  std::string lastReason_;
  uint32_t lastErrorCode_ = kNoError;
};

}  // namespace pitchtrack
