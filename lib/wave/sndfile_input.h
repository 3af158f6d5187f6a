// libsndfile's view of a riff::File: its virtual I/O callbacks over forward reads, so that
// libsndfile decodes from a pipe or standard input as from a file. A seek on a stream is only a
// change of the reading position: reading further on drops the bytes in between, and a position
// before the bytes still held fails the read, which libsndfile reports as a short read.
#pragma once

#include <sndfile.h>

#include <cstdint>

#include "wave/riff.h"

namespace pitchtrack {

struct SndfileInput {
  explicit SndfileInput(riff::File opened) : file(std::move(opened)) {}

  riff::File file;
  uint64_t position = 0;
};

// The callbacks; their user data is a SndfileInput.
SF_VIRTUAL_IO sndfileInputCallbacks();

}  // namespace pitchtrack
