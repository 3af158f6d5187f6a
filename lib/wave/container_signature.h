// Which container a recording is, told by its first bytes (its signature), never by its name.
//
// The one table of signatures the library knows: the RIFF WAVE files its own reader takes, the
// containers libsndfile reads, and a few common ones that neither reads (so that a refusal can
// name them). Standard input is judged by the same table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pitchtrack {

enum class Container {
  kUnknown,    // no signature of the table
  kRiffWave,   // "RIFF" ... "WAVE": the library's own reader
  kRifx,       // big-endian WAV ("RIFX")
  kRf64,       // RF64 / BW64
  kWave64,     // Sony Wave64 ("riff" GUID)
  kFlac,       // native FLAC ("fLaC")
  kOggVorbis,  // Ogg with a Vorbis first stream
  kOggOpus,    // Ogg with an Opus first stream
  kOggFlac,    // Ogg with a FLAC first stream
  kOgg,        // Ogg with another or an unseen first stream
  kAiff,       // "FORM" ... "AIFF" or "AIFC"
  kAu,         // Sun/NeXT ".snd"
  kCaf,        // Apple Core Audio Format ("caff")
  kMp3,        // an ID3v2 tag or an MPEG audio layer I-III frame header
  kAacAdts,    // AAC in ADTS frames: not read
  kMp4,        // MP4 / M4A ("ftyp" at 4): not read
};

// Who reads a container.
enum class ContainerReader {
  kNone,       // nobody: refused with the container's name
  kOwnReader,  // the library's RIFF WAVE reader
  kSoundFile,  // libsndfile, when the library is built with it
};

// Bytes of a recording's start that identifyContainer looks at; fewer are fine (a short file).
inline constexpr size_t kSignatureBytes = 64;

Container identifyContainer(std::span<const uint8_t> head);
ContainerReader readerOf(Container container);
// A short name for messages: "FLAC", "Ogg Opus", "MP3", "AIFF", "WAV", ...
const char* containerName(Container container);

}  // namespace pitchtrack
