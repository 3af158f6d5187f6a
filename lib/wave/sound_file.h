// SoundFile: a recording in a container other than RIFF WAVE (FLAC, Ogg, MP3, AIFF, CAF, AU,
// RF64, Wave64, ...), decoded by libsndfile into the same one channel of samples the library's
// own reader gives for the same samples in a WAV file:
//   - 8-bit PCM becomes the unsigned values 0..255 and getBitsPerSample() is 8;
//   - other integer encodings keep the top 16 bits of each sample (an arithmetic shift);
//   - float encodings and the lossy codecs (Vorbis, Opus, MPEG) go through floatToSample16;
//   - channels mix down by mixDownFrames (the mean of each frame, truncated toward zero).
// The bytes come through a riff::File read forward only, so a pipe works as well as a file.
//
// A library built without libsndfile has the same class, whose open() refuses every container
// with "<format> not supported: built without libsndfile".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "wave/container_signature.h"

namespace pitchtrack {

namespace riff {
class File;
}

class SoundFile {
 public:
  // "libsndfile-1.2.0", or "" when built without it.
  static std::string libraryVersion();

  SoundFile();
  ~SoundFile();
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  // Takes over `file`, whose first bytes identify `container`, and reads its format. On
  // failure returns false with lastReason() naming the format and the reason.
  bool open(riff::File file, Container container);

  int32_t getSampleRate() const { return sampleRate_; }
  uint32_t getBitsPerSample() const { return bitsPerSample_; }
  // The decoders know the length only once they reach the end.
  static size_t monoLength() { return 0; }
  static bool monoLengthKnown() { return false; }
  // Decodes the next samples into `block`; returns how many, 0 at the end or on a decoding
  // error (readFailed() then says which).
  size_t readMono(std::span<int16_t> block);
  bool readFailed() const { return failed_; }
  // The numbered code of the reader's table (wave_data.h) and the reason of the last failure.
  uint32_t lastErrorCode() const { return lastErrorCode_; }
  const std::string& lastReason() const { return lastReason_; }
  void release();

 private:
  struct Decoder;

  bool fail(uint32_t code, std::string reason);

  std::unique_ptr<Decoder> decoder_;
  int32_t sampleRate_ = 0;
  uint32_t bitsPerSample_ = 16;
  bool failed_ = false;
  uint32_t lastErrorCode_ = 0;
  std::string lastReason_;
};

}  // namespace pitchtrack
