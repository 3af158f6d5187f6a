// The public library (include/pitchtrack/pitchtrack.h and pitchtrack_c.h): its three entries give
// the tool's contour, place it in time, report every failure as an exception or a status, and
// print nothing.
#include <gtest/gtest.h>
#include <pitchtrack/pitchtrack.h>
#include <pitchtrack/pitchtrack_c.h>

#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;
using testsignal::hummedNotes;
using testsignal::semitoneHz;
using testsupport::readFile;

// Options whose sink collects the progress lines as the tool prints them.
struct CollectedProgress {
  std::string lines;
  Options options{[this](const std::string& line) { lines += line + "\n"; }};
};

// The goldens' recordings through trackFile: the pitch file's line, and the progress lines that
// the tool prints before "Writing pitch to".
TEST(Library, TrackFileGivesTheGoldenContours) {
  testing::internal::CaptureStdout();
  for (const auto& entry : fs::directory_iterator(fs::path(TEST_DATA_DIR) / "golden")) {
    SCOPED_TRACE(entry.path().filename().string());
    CollectedProgress progress;
    const Contour contour = trackFile((entry.path() / "in.wav").string(), progress.options);
    EXPECT_EQ(formatContour(contour), readFile(entry.path() / "expected.pitch"));
    EXPECT_EQ(progress.lines + "Writing pitch to out.pitch\n",
              readFile(entry.path() / "stdout.txt"));
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the library printed";
}

// track() of samples, a Tracker fed in blocks of any size, and trackFile() of the same samples
// in a file agree, progress lines included.
TEST(Library, SamplesStreamAndFileGiveTheSameContour) {
  testsupport::TempDir work;
  for (const int32_t rate : {8000, 11025, 44100}) {
    const std::vector<int16_t> samples =
        hummedNotes(rate, {semitoneHz(57.5), semitoneHz(62.5), semitoneHz(55.5)}, 0.4);
    CollectedProgress whole;
    const Contour expected = track(samples, rate, 16, whole.options);
    ASSERT_GE(expected.size(), 30u) << rate;
    // Quarter-tone sharp notes truncate to the semitone below: A3 (570) ... G3 (550).
    EXPECT_EQ(expected.values.front(), 570) << rate;
    EXPECT_EQ(expected.values.back(), 550) << rate;

    for (const size_t block : {size_t{1}, size_t{333}, size_t{4096}, samples.size()}) {
      CollectedProgress streamed;
      Tracker tracker(rate, 16, streamed.options);
      for (size_t at = 0; at < samples.size(); at += block) {
        tracker.push(samples.data() + at, std::min(block, samples.size() - at));
      }
      const Contour actual = tracker.finish();
      EXPECT_EQ(actual.values, expected.values) << rate << " Hz, blocks of " << block;
      EXPECT_EQ(actual.firstFrame, expected.firstFrame) << rate << " Hz, blocks of " << block;
      EXPECT_EQ(streamed.lines, whole.lines) << rate << " Hz, blocks of " << block;
    }

    const fs::path file = work.path("rec" + std::to_string(rate) + ".wav");
    testwav::writeFile(file, testwav::pcmWave(samples, static_cast<uint32_t>(rate)));
    CollectedProgress fromFile;
    const Contour read = trackFile(file.string(), fromFile.options);
    EXPECT_EQ(read.values, expected.values) << rate;
    EXPECT_EQ(read.firstFrame, expected.firstFrame) << rate;
    EXPECT_EQ(fromFile.lines, whole.lines) << rate;
  }
}

TEST(Library, EightBitSamplesAreUnsignedBytes) {
  std::vector<int16_t> bytes;
  for (const int16_t s : hummedNotes(8000, {semitoneHz(50.5)}, 0.5)) {
    bytes.push_back(static_cast<int16_t>(s / 256 + 128));
  }
  const Contour contour = track(bytes, 8000, 8);
  ASSERT_FALSE(contour.empty());
  EXPECT_EQ(contour.values.front(), 500);
}

// The cut frames at the start are counted, so each value can be placed in the recording.
TEST(Library, ContourIsPlacedInTime) {
  // 1.2 s of silence, then A4 for 0.6 s.
  const std::vector<int16_t> samples = hummedNotes(8000, {semitoneHz(69.3)}, 0.6, 0.1, 1.2);
  const Contour contour = track(samples, 8000, 16);
  ASSERT_FALSE(contour.empty());
  EXPECT_EQ(contour.frameSeconds, 0.032);
  // The note starts at 1.2 s: in frame 37 (1.184 .. 1.216 s) or the next.
  EXPECT_GE(contour.firstFrame, 37);
  EXPECT_LE(contour.firstFrame, 38);
  EXPECT_DOUBLE_EQ(contour.startSeconds(0), static_cast<double>(contour.firstFrame) * 0.032);
  EXPECT_DOUBLE_EQ(contour.startSeconds(3), static_cast<double>(contour.firstFrame + 3) * 0.032);
  EXPECT_EQ(contour.values.front(), 690);
  EXPECT_DOUBLE_EQ(contour.midiNote(0), 69.0);
  EXPECT_DOUBLE_EQ(contour.frequencyHz(0), 440.0);
  // Every whole 256 samples at 8000 Hz are a frame of the recording, in both analyses.
  const auto wholeFrames = static_cast<int64_t>(samples.size() / 256);
  EXPECT_EQ(contour.recordingFrames, wholeFrames);
  Options precise;
  precise.analysis = Analysis::kPrecise;
  EXPECT_EQ(track(samples, 8000, 16, precise).recordingFrames, wholeFrames);

  const Contour cut{{600, 0, 615}, 5, 0.032};
  EXPECT_DOUBLE_EQ(cut.frequencyHz(1), 0.0);
  EXPECT_DOUBLE_EQ(cut.midiNote(1), 0.0);
  EXPECT_NEAR(cut.frequencyHz(0), 261.6256, 1e-4);  // C4
  EXPECT_NEAR(cut.frequencyHz(2), 261.6256 * std::pow(2.0, 1.5 / 12), 1e-4);
}

TEST(Library, RefusesWhatTheAnalysisCannotTake) {
  const std::vector<int16_t> samples(1000, 0);
  for (const int32_t bits : {0, 1, 12, 24, 32, -16}) {
    EXPECT_THROW(track(samples, 8000, bits), std::invalid_argument) << bits;
    EXPECT_THROW(Tracker(8000, bits), std::invalid_argument) << bits;
  }
  for (const int32_t rate : {0, -8000, 999, 768001}) {
    EXPECT_THROW(track(samples, rate, 16), std::invalid_argument) << rate;
    EXPECT_THROW(Tracker(rate, 16), std::invalid_argument) << rate;
  }
  for (const int32_t rate : {kMinSampleRate, kMaxSampleRate}) {
    EXPECT_TRUE(track(samples, rate, 16).empty()) << rate;
  }
  Tracker tracker(8000, 16);
  tracker.push(samples);
  EXPECT_TRUE(tracker.finish().empty());
  EXPECT_THROW(tracker.push(samples), std::logic_error);
  EXPECT_THROW(tracker.finish(), std::logic_error);
}

TEST(Library, WaveErrorCarriesTheCodeAndAReason) {
  testsupport::TempDir work;
  const struct {
    std::string name;
    uint32_t code;
    std::string reason;
  } cases[] = {{"missing.wav", 4, "no such file"},
               {"folder.wav", 4, "is a directory"},
               {"text.wav", 6, "not a RIFF WAVE file"}};
  fs::create_directory(work.path("folder.wav"));
  testsupport::writeText(work.path("text.wav"), "hello");
  for (const auto& c : cases) {
    const std::string path = work.path(c.name).string();
    try {
      trackFile(path);
      ADD_FAILURE() << c.name << " was tracked";
    } catch (const WaveError& error) {
      EXPECT_EQ(error.code(), c.code) << c.name;
      EXPECT_EQ(error.reason(), c.reason);
      EXPECT_EQ(error.path(), path);
      EXPECT_EQ(std::string(error.what()), path + ": " + c.reason);
      EXPECT_STREQ(error.codeText(), c.code == 4 ? "File open error." : "File chunk read error.");
    }
  }
}

// trackMemory reads bytes as a file of that size: the same contour, and the same refusals
// (a cut data chunk is truncated, not a stream that ended early).
TEST(Library, TrackMemoryReadsBytesAsAFile) {
  testsupport::TempDir work;
  const fs::path golden = fs::path(TEST_DATA_DIR) / "golden";
  const std::string wave = readFile(golden / "03_melody_44100_s16" / "in.wav");
  for (const std::string& bytes :
       {wave, readFile(golden / "04_melody_8k_mulaw" / "in.wav"), wave.substr(0, wave.size() - 100),
        std::string("hello"), std::string()}) {
    const std::string path = work.path("copy.wav").string();
    testsupport::writeText(path, bytes);
    for (const Analysis analysis : {Analysis::kDefault, Analysis::kPrecise}) {
      Options options;
      options.analysis = analysis;
      std::string fromFile;
      std::string fromMemory;
      try {
        fromFile = formatContour(trackFile(path, options));
      } catch (const WaveError& error) {
        fromFile = error.reason();
      }
      try {
        fromMemory = formatContour(trackMemory(bytes.data(), bytes.size(), path, options));
      } catch (const WaveError& error) {
        fromMemory = error.reason();
      }
      EXPECT_EQ(fromMemory, fromFile) << bytes.size();
    }
  }
}

TEST(Library, FormatsThePitchFileLine) {
  EXPECT_EQ(formatContour(std::vector<int32_t>{600, 0, 610}), "600+0+610\n");
  EXPECT_EQ(formatContour(Contour{{480}, 3, 0.032}), "480\n");
  EXPECT_EQ(formatContour(std::vector<int32_t>{}), "\n");
}

TEST(Library, ConvertsSamplesAsTheReaderDoes) {
  EXPECT_EQ(sampleFromFloat(0.5), 16384);
  EXPECT_EQ(sampleFromFloat(-1.0), -32768);
  EXPECT_EQ(sampleFromFloat(1.0), 32767);      // clamped
  EXPECT_EQ(sampleFromFloat(0.5 / 32768), 1);  // half away from zero
  EXPECT_EQ(sampleFromFloat(-0.5 / 32768), -1);
  EXPECT_EQ(sampleFromFloat(std::nan("")), 0);
  const std::vector<int16_t> stereo{3, 4, -3, -4, 32767, 32767};
  std::vector<int16_t> mono(3);
  mixDown(stereo.data(), 3, 2, mono.data());
  EXPECT_EQ(mono, (std::vector<int16_t>{3, -3, 32767}));  // truncated toward zero
  EXPECT_THROW(mixDown(stereo.data(), 3, 0, mono.data()), std::invalid_argument);
}

TEST(LibraryC, TracksAFileAndReportsFailuresAsStatuses) {
  testsupport::TempDir work;
  const std::vector<int16_t> samples = hummedNotes(16000, {semitoneHz(60.5)}, 0.5);
  testwav::writeFile(work.path("c.wav"), testwav::pcmWave(samples, 16000));

  pitchtrack_contour* contour = nullptr;
  pitchtrack_error error{};
  ASSERT_EQ(pitchtrack_track_file(work.path("c.wav").string().c_str(), &contour, &error),
            PITCHTRACK_OK);
  ASSERT_NE(contour, nullptr);
  const Contour expected = track(samples, 16000, 16);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(std::vector<int32_t>(contour->values, contour->values + contour->count),
            expected.values);
  EXPECT_EQ(contour->first_frame, expected.firstFrame);
  char small[4];
  const std::string line = formatContour(expected);
  EXPECT_EQ(pitchtrack_format_contour(contour, small, sizeof small), line.size());
  EXPECT_EQ(std::string(small), line.substr(0, 3));
  pitchtrack_contour_free(contour);

  EXPECT_EQ(pitchtrack_track_file(work.path("none.wav").string().c_str(), &contour, &error),
            PITCHTRACK_WAVE_ERROR);
  EXPECT_EQ(contour, nullptr);
  EXPECT_EQ(error.wave_code, 4u);
  EXPECT_EQ(std::string(error.message), work.path("none.wav").string() + ": no such file");

  EXPECT_EQ(pitchtrack_track_samples(samples.data(), samples.size(), 999, 16, &contour, &error),
            PITCHTRACK_INVALID_ARGUMENT);
  EXPECT_EQ(pitchtrack_track_samples(nullptr, 5, 8000, 16, &contour, nullptr),
            PITCHTRACK_INVALID_ARGUMENT);
  EXPECT_EQ(pitchtrack_track_file(nullptr, &contour, &error), PITCHTRACK_INVALID_ARGUMENT);
  EXPECT_EQ(pitchtrack_track_file("x.wav", nullptr, &error), PITCHTRACK_INVALID_ARGUMENT);
  EXPECT_EQ(pitchtrack_track_samples(samples.data(), samples.size(), 16000, 16, &contour, &error),
            PITCHTRACK_OK);
  EXPECT_EQ(error.status, PITCHTRACK_OK);
  pitchtrack_contour_free(contour);
  pitchtrack_contour_free(nullptr);
  EXPECT_STREQ(pitchtrack_version(), "2.0.0");
}

}  // namespace

}  // namespace pitchtrack
