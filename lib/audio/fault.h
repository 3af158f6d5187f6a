// Internal to the library: its one way of raising a fault, and the fixed texts of the faults of
// the analysis.
//
// fatalError throws pitchtrack::InternalError carrying `message`: the library never prints and
// never ends its host; a program decides what a fault means to its user.
#pragma once

#include <cstdint>

namespace pitchtrack {

[[noreturn]] void fatalError(const char* message);

namespace audio_fault {

// Source path named in every fault message of the library.
inline constexpr const char* kSourcePath = "lib/audio";

inline constexpr const char* kUnknownPfType = "Unknown pfType=%d (line %d of file %s)";
inline constexpr const char* kUnknownPtParamPfType =
    "Unknown ptParam.pfType=%d (line %d of file %s)";
inline constexpr const char* kUnknownVolumeMethod = "Unknown volume method=%d (line %d of file %s)";
// The fault of a frame-volume order other than the two known ones.
inline constexpr const char* kUnsupportedOrder = "Unsupported order!";

// Fixed line numbers that identify where the fault was detected.
inline constexpr int32_t kLinePitchFunction = 1200;
inline constexpr int32_t kLineCandidates = 1235;
inline constexpr int32_t kLinePitchPath = 1409;
inline constexpr int32_t kLineFrameVolume = 1644;

// Formats `pattern` with (code, line, kSourcePath) and hands it to fatalError.
[[noreturn]] void unknownCode(const char* pattern, int32_t code, int32_t line);

}  // namespace audio_fault

}  // namespace pitchtrack
