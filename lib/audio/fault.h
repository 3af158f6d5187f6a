// Internal to the analysis library: the fixed texts of its faults and the helper that formats
// one and ends the process through fatalError.
#pragma once

#include <cstdint>

namespace pitchtrack {

namespace audio_fault {

// Source path named in every fault message of the library.
inline constexpr const char* kSourcePath = "lib/audio";

inline constexpr const char* kUnknownPfType = "Unknown pfType=%d (line %d of file %s)";
inline constexpr const char* kUnknownPtParamPfType =
    "Unknown ptParam.pfType=%d (line %d of file %s)";
inline constexpr const char* kUnknownVolumeMethod = "Unknown volume method=%d (line %d of file %s)";

// Fixed line numbers that identify where the fault was detected.
inline constexpr int32_t kLinePitchFunction = 1200;
inline constexpr int32_t kLineCandidates = 1235;
inline constexpr int32_t kLinePitchPath = 1409;
inline constexpr int32_t kLineFrameVolume = 1644;

// Formats `pattern` with (code, line, kSourcePath) and hands it to fatalError.
[[noreturn]] void unknownCode(const char* pattern, int32_t code, int32_t line);

}  // namespace audio_fault

}  // namespace pitchtrack
