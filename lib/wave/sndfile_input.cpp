#include "wave/sndfile_input.h"

#include <limits>
#include <span>

namespace pitchtrack {

namespace {

// A stream's length is unknown; libsndfile is told the largest length its arithmetic on
// lengths and offsets stays far from overflowing with.
constexpr sf_count_t kUnknownLength = sf_count_t{1} << 48;

SndfileInput& inputOf(void* userData) { return *static_cast<SndfileInput*>(userData); }

sf_count_t fileLength(void* userData) {
  const SndfileInput& input = inputOf(userData);
  if (input.file.isStream()) return kUnknownLength;
  return static_cast<sf_count_t>(input.file.bytesFrom(0));
}

sf_count_t seekTo(sf_count_t offset, int whence, void* userData) {
  SndfileInput& input = inputOf(userData);
  sf_count_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<sf_count_t>(input.position);
  if (whence == SEEK_END) base = fileLength(userData);
  if (base + offset < 0) return -1;
  input.position = static_cast<uint64_t>(base + offset);
  return static_cast<sf_count_t>(input.position);
}

sf_count_t readBytes(void* destination, sf_count_t count, void* userData) {
  SndfileInput& input = inputOf(userData);
  if (count <= 0) return 0;
  const std::span bytes(static_cast<uint8_t*>(destination), static_cast<size_t>(count));
  const size_t got = input.file.readSome(input.position, bytes);
  input.position += got;
  return static_cast<sf_count_t>(got);
}

sf_count_t writeNothing(const void* /*source*/, sf_count_t /*count*/, void* /*userData*/) {
  return 0;
}

sf_count_t tellPosition(void* userData) {
  return static_cast<sf_count_t>(inputOf(userData).position);
}

}  // namespace

SF_VIRTUAL_IO sndfileInputCallbacks() {
  return SF_VIRTUAL_IO{&fileLength, &seekTo, &readBytes, &writeNothing, &tellPosition};
}

}  // namespace pitchtrack
