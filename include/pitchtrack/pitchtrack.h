// pitchtrack as a library: the pitch contour of a recording, the same one the pitchtrack tool
// writes to its pitch file.
//
//   #include <pitchtrack/pitchtrack.h>
//
//   std::vector<int16_t> samples = ...;  // one channel, 16-bit signed
//   std::vector<int32_t> contour = pitchtrack::trackContour(samples, 44100, 16);
//   std::string line = pitchtrack::formatContour(contour);  // "480+480+0+550\n"
//
// CMake: find_package(pitchtrack CONFIG REQUIRED) and target_link_libraries(app PRIVATE
// pitchtrack::audio). pkg-config: `pkg-config --cflags --libs pitchtrack`. C++20.
//
// Two things a caller should know:
//   - trackContour reports its preparation steps on standard output, exactly as the tool does:
//     "fs=44100 ===> Resample to have fs=8000" when the rate is not 8000 Hz and
//     "nbits=16 ===> Convert from nbits=16 to 8!" for 16-bit samples. Programs that use their
//     standard output for something else should send it elsewhere around the call.
//   - An internal fault of the analysis (an inconsistency that valid input never reaches) does
//     not return: it prints a line on standard output, writes error_YYYYMMDD_HHMMSS.log into the
//     current directory and ends the process with exit status 1.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pitchtrack {

// Every contour value covers this many milliseconds of the recording.
inline constexpr int32_t kFrameMilliseconds = 32;

// The sample rates trackContour accepts, in Hz.
inline constexpr int32_t kMinSampleRate = 1000;
inline constexpr int32_t kMaxSampleRate = 768000;

// The pitch contour of one channel of sound.
//
// `samples` holds the recording at `sampleRate` Hz. With `bitsPerSample` 16 they are signed
// 16-bit values; with 8 they are the unsigned byte values 0..255 of 8-bit PCM. Mix several
// channels down before the call (the tool takes the mean of the channels of each sample frame).
//
// The result has one value per 32 ms frame: the pitch in tenths of a semitone, truncated to a
// whole semitone (so a multiple of 10; semitone 69 is 440 Hz, 60 is C4), or 0 for a frame
// without pitch. Unpitched frames at either end are removed, so the first and the last value
// are pitched; a recording without pitch, or shorter than two frames, gives an empty contour.
//
// Throws std::invalid_argument when `bitsPerSample` is neither 8 nor 16 or `sampleRate` lies
// outside kMinSampleRate..kMaxSampleRate.
std::vector<int32_t> trackContour(std::span<const int16_t> samples, int32_t sampleRate,
                                  int32_t bitsPerSample);

// The contour as the tool's pitch file holds it: the values in decimal joined by "+" and ended
// by a newline ("600+0+610\n"); a single "\n" for an empty contour.
std::string formatContour(std::span<const int32_t> contour);

}  // namespace pitchtrack
