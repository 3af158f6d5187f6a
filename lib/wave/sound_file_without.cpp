// SoundFile in a library built without libsndfile: every container but WAV is refused by name.
#include "wave/riff.h"
#include "wave/sound_file.h"
#include "wave/wave_data.h"

namespace pitchtrack {

struct SoundFile::Decoder {};

std::string SoundFile::libraryVersion() { return ""; }

SoundFile::SoundFile() = default;
SoundFile::~SoundFile() = default;

bool SoundFile::open(riff::File /*file*/, Container container) {
  return fail(WaveData::kFormatMismatch,
              std::string(containerName(container)) + " not supported: built without libsndfile");
}

size_t SoundFile::readMono(std::span<int16_t> /*block*/) { return 0; }

void SoundFile::release() {}

bool SoundFile::fail(uint32_t code, std::string reason) {
  lastErrorCode_ = code;
  lastReason_ = std::move(reason);
  return false;
}

}  // namespace pitchtrack
