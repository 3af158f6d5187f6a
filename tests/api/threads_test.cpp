// Many threads tracking different recordings at once, through every entry of the library, get
// exactly the contours of a serial run. Run under ThreadSanitizer by `make tsan`.
#include <gtest/gtest.h>
#include <pitchtrack/pitchtrack.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace pitchtrack {

namespace {

constexpr size_t kRecordings = 50;
constexpr size_t kThreads = 8;

struct Recording {
  std::vector<int16_t> samples;
  int32_t rate;
  std::string path;
};

// Fifty short recordings of different notes, rates and lengths, written to files as well.
std::vector<Recording> recordings(const testsupport::TempDir& work) {
  const int32_t rates[] = {8000, 11025, 16000, 22050, 44100};
  std::vector<Recording> out;
  for (size_t i = 0; i < kRecordings; ++i) {
    const int32_t rate = rates[i % std::size(rates)];
    const double base = 48.5 + static_cast<double>(i % 17);
    auto samples = testsignal::hummedNotes(
        rate, {testsignal::semitoneHz(base), testsignal::semitoneHz(base + 3)},
        0.2 + 0.01 * static_cast<double>(i % 7));
    const auto path = work.path("rec" + std::to_string(i) + ".wav");
    testwav::writeFile(path, testwav::pcmWave(samples, static_cast<uint32_t>(rate)));
    out.push_back({std::move(samples), rate, path.string()});
  }
  return out;
}

// Each recording's contour through one of the three entries, chosen by its index.
Contour trackOne(const Recording& recording, size_t index) {
  switch (index % 3) {
    case 0:
      return trackFile(recording.path);
    case 1:
      return track(recording.samples, recording.rate, 16);
    default: {
      Tracker tracker(recording.rate, 16);
      for (size_t at = 0; at < recording.samples.size(); at += 1000) {
        tracker.push(recording.samples.data() + at,
                     std::min<size_t>(1000, recording.samples.size() - at));
      }
      return tracker.finish();
    }
  }
}

TEST(Threads, FiftyRecordingsOnEightThreadsEqualASerialRun) {
  testsupport::TempDir work;
  const std::vector<Recording> all = recordings(work);
  std::vector<std::vector<int32_t>> serial(kRecordings);
  for (size_t i = 0; i < kRecordings; ++i) serial[i] = trackFile(all[i].path).values;

  std::vector<std::vector<int32_t>> parallel(kRecordings);
  std::atomic<size_t> next{0};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (size_t i = next++; i < kRecordings; i = next++) parallel[i] = trackOne(all[i], i).values;
    });
  }
  for (std::thread& thread : threads) thread.join();

  size_t pitched = 0;
  for (size_t i = 0; i < kRecordings; ++i) {
    EXPECT_EQ(parallel[i], serial[i]) << all[i].path;
    pitched += serial[i].empty() ? 0 : 1;
  }
  EXPECT_EQ(pitched, kRecordings) << "every recording holds notes";
}

// A failure in one thread leaves the others and the library unharmed.
TEST(Threads, RefusedFilesDoNotDisturbOtherThreads) {
  testsupport::TempDir work;
  const std::vector<Recording> all = recordings(work);
  const std::vector<int32_t> expected = trackFile(all[0].path).values;
  std::atomic<size_t> refused{0};
  std::atomic<size_t> wrong{0};
  std::vector<std::thread> threads;
  for (size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        if (t % 2 == 0) {
          try {
            trackFile(work.path("missing.wav").string());
          } catch (const WaveError&) {
            ++refused;
          }
        } else if (trackFile(all[0].path).values != expected) {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(refused.load(), kThreads / 2 * 5);
  EXPECT_EQ(wrong.load(), 0u);
}

}  // namespace

}  // namespace pitchtrack
