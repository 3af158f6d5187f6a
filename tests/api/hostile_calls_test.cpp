// Calls that once crashed the library or reported a wrong result as success: sample counts the
// analysis cannot index, 8-bit samples outside 0..255, misused trackers, a folder as a stream,
// a non-blocking pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pitchtrack/pitchtrack.h>
#include <pitchtrack/pitchtrack_c.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;

struct CountCase {
  const char* what;
  size_t count;
};

// Counts of 2^63 and more, and any count whose working signal passes the analysis' index, are
// refused before a sample is read (the pointer here holds a single sample).
TEST(HostileCalls, CountsTheAnalysisCannotIndexAreTooLong) {
  const std::vector<CountCase> cases = {
      {"all ones", std::numeric_limits<size_t>::max()},
      {"2^63", size_t{1} << 63},
      {"2^31 at 8000 Hz", size_t{1} << 31},
  };
  const int16_t sample = 128;
  for (const CountCase& c : cases) {
    pitchtrack_contour* contour = nullptr;
    pitchtrack_error error{};
    EXPECT_EQ(pitchtrack_track_samples(&sample, c.count, 8000, 8, &contour, &error),
              PITCHTRACK_TOO_LONG)
        << c.what;
    EXPECT_EQ(contour, nullptr) << c.what;
    EXPECT_THROW(track(&sample, c.count, 8000, 16), std::length_error) << c.what;
    Tracker tracker(8000, 8);
    EXPECT_THROW(tracker.push(&sample, c.count), std::length_error) << c.what;
  }
  Options precise;
  precise.analysis = Analysis::kPrecise;
  for (const size_t count : {std::numeric_limits<size_t>::max(), size_t{1} << 63}) {
    EXPECT_THROW(track(&sample, count, 8000, 16, precise), std::length_error) << count;
  }
}

// 8-bit samples are the unsigned byte values; the C and C++ entries refuse others, as Python does.
TEST(HostileCalls, EightBitSamplesOutsideTheByteRangeAreRefused) {
  for (const int16_t outside : {int16_t{-1}, int16_t{256}, int16_t{-32768}, int16_t{32767}}) {
    std::vector<int16_t> samples(800, 128);
    samples[400] = outside;
    pitchtrack_contour* contour = nullptr;
    pitchtrack_error error{};
    EXPECT_EQ(pitchtrack_track_samples(samples.data(), samples.size(), 8000, 8, &contour, &error),
              PITCHTRACK_INVALID_ARGUMENT)
        << outside;
    EXPECT_EQ(std::string(error.message),
              "8-bit samples are the unsigned byte values 0..255, not " + std::to_string(outside));
    EXPECT_THROW(track(samples, 16000, 8), std::invalid_argument) << outside;
    Tracker tracker(11025, 8);
    EXPECT_THROW(tracker.push(samples), std::invalid_argument) << outside;
    Options precise;
    precise.analysis = Analysis::kPrecise;
    EXPECT_THROW(track(samples, 16000, 8, precise), std::invalid_argument) << outside;
  }
}

TEST(HostileCalls, MisusedTrackersSayWhatWasWrong) {
  Tracker finished(8000, 16);
  finished.finish();
  Tracker moved(8000, 16);
  const Tracker taker(std::move(moved));
  const std::vector<int16_t> block(10, 0);
  struct Misuse {
    Tracker* tracker;
    const char* says;
  };
  for (const Misuse& m : {Misuse{&finished, "after finish"}, Misuse{&moved, "moved-from"}}) {
    try {
      m.tracker->push(block);
      ADD_FAILURE() << m.says;
    } catch (const std::logic_error& e) {
      EXPECT_NE(std::string(e.what()).find(m.says), std::string::npos) << e.what();
    }
    EXPECT_THROW(m.tracker->finish(), std::logic_error);
  }
}

TEST(HostileCalls, AFolderAsAStreamIsAFolder) {
  const testsupport::TempDir work;
  const int folder = ::open(work.root().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  try {
    trackStream(folder, "folder");
    ADD_FAILURE() << "a folder was tracked";
  } catch (const WaveError& e) {
    EXPECT_EQ(e.reason(), "is a directory");
  }
  ::close(folder);
}

// A recording of two notes at 8000 Hz, long enough that a pipe cannot hold it at once.
testwav::Bytes twoNotes() {
  return testwav::pcmWave(
      testsignal::hummedNotes(8000, {testsignal::semitoneHz(57), testsignal::semitoneHz(64)}, 1.0));
}

// A non-blocking pipe that is momentarily empty has not ended: the whole recording is tracked.
TEST(HostileCalls, ANonBlockingPipeIsReadToItsEnd) {
  const testwav::Bytes bytes = twoNotes();
  const Contour whole = track(
      testsignal::hummedNotes(8000, {testsignal::semitoneHz(57), testsignal::semitoneHz(64)}, 1.0),
      8000, 16);
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ASSERT_EQ(::fcntl(pipe[0], F_SETFL, O_NONBLOCK), 0);
  std::thread writer([&] {
    const size_t half = bytes.size() / 2;
    EXPECT_EQ(::write(pipe[1], bytes.data(), 64), 64);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (size_t done = 64; done < bytes.size();) {
      const ssize_t n = ::write(pipe[1], bytes.data() + done, std::min(half, bytes.size() - done));
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::close(pipe[1]);
  });
  Contour streamed;
  EXPECT_NO_THROW(streamed = trackStream(pipe[0], "pipe"));
  writer.join();
  ::close(pipe[0]);
  EXPECT_EQ(streamed.values, whole.values);
  EXPECT_EQ(streamed.recordingSeconds, whole.recordingSeconds);
}

}  // namespace

}  // namespace pitchtrack
