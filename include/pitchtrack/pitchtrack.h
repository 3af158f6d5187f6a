// pitchtrack as a library: the pitch contour of a recording, the same one the pitchtrack tool
// writes to its pitch file. The header compiles as C++17 and later.
//
//   #include <pitchtrack/pitchtrack.h>
//
//   pitchtrack::Contour contour = pitchtrack::trackFile("song.wav");
//   std::string line = pitchtrack::formatContour(contour);  // "480+480+0+550\n"
//   double t = contour.startSeconds(0);                      // where the first value lies
//
// Samples already in memory go to track(); samples that arrive over time (a socket, a sound
// card) go to a Tracker, block by block. All three give the same contour for the same samples.
//
// The contour has one value per 32 ms frame: the pitch in tenths of a semitone, truncated to a
// whole semitone (so a multiple of 10; 690 is A4 = 440 Hz, 600 is C4), or 0 for a frame without
// pitch. Unpitched frames at either end are cut, so the first and the last value are pitched;
// Contour::firstFrame says how many frames were cut at the start. A recording without pitch, or
// shorter than two frames, gives an empty contour.
//
// The library prints nothing and never ends its host: progress lines go to the optional sink of
// Options, and every failure is an exception:
//   - WaveError: a recording that cannot be read (with the reader's numbered code and a reason
//     that names the format: "MP3 not supported: built without libsndfile");
//   - std::invalid_argument: a sample rate outside 1000..768000 Hz or a sample size other than
//     8 or 16 bits;
//   - std::length_error: a recording longer than the analysis can index (about 74 hours);
//   - std::bad_alloc: not enough memory;
//   - InternalError: an internal fault of the analysis, which valid input never reaches.
// After any of them the library is in a good state and the next call works normally.
//
// Any number of threads may track different recordings at once. A Tracker belongs to one thread
// at a time.
//
// CMake: find_package(pitchtrack CONFIG REQUIRED), then link pitchtrack::pitchtrack.
// pkg-config: `pkg-config --cflags --libs pitchtrack` (add --static for the static library).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pitchtrack/errors.h"
#include "pitchtrack/limits.h"

#if __cplusplus >= 202002L
#include <span>
#endif

namespace pitchtrack {

// Receives one progress line at a time, without its line end: "fs=44100 ===> Resample to have
// fs=8000" when the rate is not 8000 Hz, "nbits=16 ===> Convert from nbits=16 to 8!" for 16-bit
// samples. These are the lines the tool prints.
using ProgressSink = std::function<void(const std::string& line)>;

// What a warning is about. The contour is the same whether or not anyone listens.
enum class WarningKind {
  kClipping,             // the recording reaches full scale and stays there (clipped)
  kQuietRecording,       // the peak is so low that the reduction to 8 bits loses most of it
  kFinalStretchDropped,  // the final-gap rule dropped the last voiced stretch
  kOutsideFinalRange,    // most of the first pass lies outside the final pitch range
  kEmptyContour,         // no pitch at all, although the recording is not silent
  kStreamEndedEarly,     // a WAV stream ended before its stated data size: what arrived is used
};

// One thing the analysis did to the recording that its user may not expect. The times place it
// in the recording (seconds from its start); the message, one line without a line end, says what
// happened and which option would change the result.
struct Warning {
  WarningKind kind = WarningKind::kEmptyContour;
  double startSeconds = 0;
  double endSeconds = 0;
  std::string message;
};

// Receives the warnings of one analysis, in the order the analysis meets them.
using WarningSink = std::function<void(const Warning& warning)>;

// How a frame is judged voiced.
enum class Voicing {
  // Relative to the recording's own quiet and loud frames (the default).
  kRelative,
  // As kRelative, and the frame must also be periodic (normalised autocorrelation at least 0.5
  // at some lag of 8..173 samples at 8000 Hz, 46..1000 Hz) and not faint (mean square at least
  // 1 in the 8-bit range).
  kStrict,
};

// Settings of one analysis. Every remedy is off by default; with the defaults the contour is the
// classic one.
struct Options {
  ProgressSink progress;     // empty: the lines are dropped
  WarningSink warning = {};  // empty: the warnings are dropped
  // Scale 16-bit samples so that the peak becomes full scale (x * 32767 / peak, truncated toward
  // zero) before the reduction to 8 bits. 8-bit recordings are left as they are.
  bool normalize = false;
  // Keep the last voiced stretch however long the silence before it.
  bool keepFinal = false;
  Voicing voicing = Voicing::kRelative;
};

// The pitch contour of a recording, placed in time.
struct Contour {
  std::vector<int32_t> values;  // tenths of a semitone; 0 = no pitch
  int64_t firstFrame = 0;       // index in the recording of the frame of values[0]
  double frameSeconds = 0.032;  // duration (and hop) of one frame
  double recordingSeconds = 0;  // length of the whole recording

  size_t size() const { return values.size(); }
  bool empty() const { return values.empty(); }

  // Start of value i's frame, in seconds from the start of the recording.
  double startSeconds(size_t i) const {
    return static_cast<double>(firstFrame + static_cast<int64_t>(i)) * frameSeconds;
  }
  // Value i as a MIDI note number (69 = A4 = 440 Hz); 0 where there is no pitch.
  double midiNote(size_t i) const { return values[i] / 10.0; }
  // Value i in Hz (equal temperament, A4 = 440 Hz); 0 where there is no pitch.
  PITCHTRACK_API double frequencyHz(size_t i) const;
};

// The contour of a recording file, its container told by its first bytes, not by its name.
// RIFF WAVE goes through the library's reader: 8-, 16-, 24- and 32-bit PCM, 32- and 64-bit
// float, mu-law, A-law and the extensible layout, any channel count (mixed down by the mean of
// each sample frame). When the library is built with libsndfile, FLAC, Ogg Vorbis, Opus, MP3,
// AIFF/AIFC, CAF, Sun/NeXT AU, RF64, Wave64 and big-endian WAV go through it, their samples
// converted as the WAV reader converts the same samples (so a FLAC copy of a WAV file gives the
// same contour); without it they are refused as "<format> not supported: built without
// libsndfile". The file is read block by block, never held whole.
PITCHTRACK_API Contour trackFile(const std::string& path, const Options& options = {});

// The same for a recording read from an open file descriptor: standard input, a pipe, a socket
// or a file. It is read forward only, block by block, and never seeked, so a recording that a
// program streams (`sox ... -t wav -`, `espeak-ng --stdout`, `flac -c`) works: a WAV data
// chunk's placeholder size (0xFFFFFFFF, 0x7FFFF000 or 0x80000000, which such programs write
// because they cannot know the length) means "to the end of the input", and a WAV stream that
// ends before its stated size (sox's estimate for a decoded MP3) is the recording that arrived,
// with a kStreamEndedEarly warning (a regular file cut short is refused). The descriptor stays
// open and the caller's; `name` stands for it in WaveError.
PITCHTRACK_API Contour trackStream(int fileDescriptor, const std::string& name,
                                   const Options& options = {});

// The library that reads the containers other than WAV and its version ("libsndfile-1.2.0"), or
// "" when the library is built to read WAV only.
PITCHTRACK_API std::string soundFileLibraryVersion();

// The contour of one channel of samples at `sampleRate` Hz. With `bitsPerSample` 16 they are
// signed 16-bit values; with 8 they are the unsigned byte values 0..255 of 8-bit PCM.
PITCHTRACK_API Contour track(const int16_t* samples, size_t count, int32_t sampleRate,
                             int32_t bitsPerSample, const Options& options = {});
inline Contour track(const std::vector<int16_t>& samples, int32_t sampleRate, int32_t bitsPerSample,
                     const Options& options = {}) {
  return track(samples.data(), samples.size(), sampleRate, bitsPerSample, options);
}

// Tracks a recording that arrives block by block: push() every block in order, then finish().
// Blocks may have any size; the contour equals track() of all the samples at once, and the
// progress lines come at the same points. Memory grows with the recording at 8000 Hz 16-bit,
// whatever its own rate. Throws std::invalid_argument for a rate or sample size track() refuses,
// and std::logic_error for a push() or finish() after finish().
class PITCHTRACK_API Tracker {
 public:
  Tracker(int32_t sampleRate, int32_t bitsPerSample, const Options& options = {});
  ~Tracker();
  Tracker(Tracker&&) noexcept;
  Tracker& operator=(Tracker&&) noexcept;

  void push(const int16_t* samples, size_t count);
  void push(const std::vector<int16_t>& samples) { push(samples.data(), samples.size()); }
  Contour finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The contour as the tool's pitch file holds it: the values in decimal joined by "+" and ended
// by a newline ("600+0+610\n"); a single "\n" for an empty contour.
PITCHTRACK_API std::string formatContour(const int32_t* values, size_t count);
inline std::string formatContour(const Contour& contour) {
  return formatContour(contour.values.data(), contour.values.size());
}
inline std::string formatContour(const std::vector<int32_t>& values) {
  return formatContour(values.data(), values.size());
}

// The reader's conversions, for callers that hold other sample formats:
// a float sample of full scale -1..1 becomes x * 32768 rounded half away from zero, clamped to
// the 16-bit range, NaN giving 0;
PITCHTRACK_API int16_t sampleFromFloat(double x);
// and `frames` sample frames of `channels` interleaved samples become one channel, each value the
// sum of its frame's samples divided by the channel count, truncated toward zero.
PITCHTRACK_API void mixDown(const int16_t* interleaved, size_t frames, size_t channels,
                            int16_t* mono);

#if __cplusplus >= 202002L
inline Contour track(std::span<const int16_t> samples, int32_t sampleRate, int32_t bitsPerSample,
                     const Options& options = {}) {
  return track(samples.data(), samples.size(), sampleRate, bitsPerSample, options);
}
// The contour's values alone, for callers of the first version of this header.
inline std::vector<int32_t> trackContour(std::span<const int16_t> samples, int32_t sampleRate,
                                         int32_t bitsPerSample) {
  return track(samples, sampleRate, bitsPerSample).values;
}
inline std::string formatContour(std::span<const int32_t> values) {
  return formatContour(values.data(), values.size());
}
#endif

}  // namespace pitchtrack
