// The exceptions of the library, and the export mark of its public interface. Compiles as C++17
// and later.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#if defined(__GNUC__) || defined(__clang__)
#define PITCHTRACK_API __attribute__((visibility("default")))
#else
#define PITCHTRACK_API
#endif

namespace pitchtrack {

// A WAV file that cannot be tracked: it is missing or unreadable, is not a RIFF WAVE file, uses
// an encoding or layout the reader does not take, or ends before its sample data does.
class PITCHTRACK_API WaveError : public std::runtime_error {
 public:
  WaveError(std::string path, uint32_t code, std::string reason);

  const std::string& path() const noexcept { return path_; }
  // The reader's numbered code: 1 = wave format mismatch, 4 = file open error, 6 = file chunk
  // read error, 7 = file data read error.
  uint32_t code() const noexcept { return code_; }
  // The text of the numbered code ("File open error.").
  const char* codeText() const noexcept;
  // What a person needs to know: "no such file", "no data chunk", "unsupported encoding IMA
  // ADPCM (0x0011)", "rate 800000 Hz outside 1000-768000 Hz", ...
  const std::string& reason() const noexcept { return reason_; }

 private:
  std::string path_;
  uint32_t code_;
  std::string reason_;
};

// An internal fault of the analysis; what() is the fault's fixed message, such as
// "Unknown pfType=3 (line 1200 of file lib/audio)".
class PITCHTRACK_API InternalError : public std::runtime_error {
 public:
  explicit InternalError(const std::string& message);
};

}  // namespace pitchtrack
