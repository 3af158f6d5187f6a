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
// Options, warnings to another and to Contour::warnings, and every failure is an exception:
//   - WaveError: a recording that cannot be read (with the reader's numbered code and a reason
//     that names the format: "MP3 not supported: built without libsndfile");
//   - std::invalid_argument: a sample rate outside 1000..768000 Hz, a sample size other than
//     8 or 16 bits, or an 8-bit sample outside 0..255;
//   - std::length_error: a recording longer than the analysis can index (about 74 hours, and
//     any sample count of 2^63 or more);
//   - std::bad_alloc: not enough memory;
//   - InternalError: an internal fault of the analysis, which valid input never reaches.
// After any of them the library is in a good state and the next call works normally.
//
// Any number of threads may track different recordings at once. A Tracker belongs to one thread
// at a time.
//
// CMake: find_package(pitchtrack CONFIG REQUIRED), then link pitchtrack::pitchtrack.
// pkg-config: `pkg-config --cflags --libs pitchtrack` for the shared library,
// `pkg-config --cflags --libs pitchtrack-static` for the static one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pitchtrack/contour.h"
#include "pitchtrack/errors.h"
#include "pitchtrack/limits.h"
#include "pitchtrack/notes.h"
#include "pitchtrack/options.h"

#if __cplusplus >= 202002L
#include <span>
#endif

namespace pitchtrack {

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

// The same for a recording already in memory: the `size` bytes at `bytes`, read as a file of
// that size (so a WAV data chunk that runs past them is refused as truncated). `name` stands for
// it in WaveError.
PITCHTRACK_API Contour trackMemory(const void* bytes, size_t size, const std::string& name,
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

// The notes of a recording (notes.h): the precise analysis' Contour::notes, whatever
// options.analysis says; options.notes sets how frames are grouped.
PITCHTRACK_API std::vector<Note> trackNotes(const std::string& path, const Options& options = {});
PITCHTRACK_API std::vector<Note> trackNotes(const int16_t* samples, size_t count,
                                            int32_t sampleRate, int32_t bitsPerSample,
                                            const Options& options = {});
inline std::vector<Note> trackNotes(const std::vector<int16_t>& samples, int32_t sampleRate,
                                    int32_t bitsPerSample, const Options& options = {}) {
  return trackNotes(samples.data(), samples.size(), sampleRate, bitsPerSample, options);
}

// Tracks a recording that arrives block by block: push() every block in order, then finish().
// Blocks may have any size; the contour equals track() of all the samples at once, and the
// progress lines come at the same points. Memory grows with the recording at 8000 Hz 16-bit,
// whatever its own rate. Throws std::invalid_argument for a rate, sample size or 8-bit sample
// track() refuses, and std::logic_error for a push() or finish() after finish() or on a
// moved-from tracker.
//
// Live: with the precise analysis and Options::frameSink, push() hands each frame to the sink as
// soon as it is final (finish() the last ones); with Options::keepFrames false nothing is kept
// for finish(), memory stays flat, and push() allocates nothing once warmed up.
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
