// Saved files whose data passes 2 GiB: read to their real end, whether the data chunk's size is
// a streaming placeholder or the real size. The files are sparse, and only their length is
// examined, so the test reads no more than the header.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/temp_dir.h"
#include "support/wav_image.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;

struct LargeCase {
  const char* what;
  uint64_t dataBytes;     // in the file after the header
  uint32_t declaredSize;  // of the data chunk
};

TEST(LargeData, SavedFilesPastTwoGibibytesAreReadToTheirEnd) {
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  const std::vector<LargeCase> cases = {
      {"placeholder size, 2.5 GiB of data", kGiB * 5 / 2, 0xFFFFFFFFu},
      {"placeholder size, 3.5 GiB of data", kGiB * 7 / 2, 0xFFFFFFFFu},
      {"real size of 3 GiB", kGiB * 3, static_cast<uint32_t>(kGiB * 3)},
  };
  const testsupport::TempDir work;
  for (const LargeCase& c : cases) {
    testwav::Bytes header = testwav::wave(testwav::format(1, 2, 48000, 16), {});
    for (size_t i = 0; i < 4; ++i) {
      header[header.size() - 4 + i] = static_cast<uint8_t>(c.declaredSize >> (8 * i));
    }
    const fs::path path = work.path("large.wav");
    testwav::writeFile(path, header);
    fs::resize_file(path, header.size() + c.dataBytes);
    WaveData wave(1, 8000, 8);
    ASSERT_TRUE(wave.openMono(path.string())) << c.what << ": " << wave.lastReason();
    EXPECT_TRUE(wave.monoLengthKnown()) << c.what;
    EXPECT_EQ(wave.monoLength(), c.dataBytes / 4) << c.what;
  }
}

}  // namespace

}  // namespace pitchtrack
