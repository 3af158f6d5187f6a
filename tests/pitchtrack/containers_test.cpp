// A recording in another container gives the contour of the same samples in a WAV file, byte
// for byte: sox writes the WAV and converts it, without dither, into each container and sample
// format; the tool, the library's entries and the C interface must agree with the WAV. Skipped
// without sox, or in a build without libsndfile (whose refusal tests/without_sndfile.sh checks).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"
#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace pitchtrack {

namespace {

using testsupport::shellQuote;

// Two glides of different pitch, one a channel, so that the mix-down matters.
constexpr const char* kSynth = "synth 2.5 sine 180-360 sine 300-240 vol 0.5";
constexpr const char* kTool = PITCHTRACK_BIN;

bool canConvert() { return testsupport::haveProgram("sox") && !soundFileLibraryVersion().empty(); }

// Runs a shell command that must succeed; its standard output.
std::string mustRun(const std::string& command, const testsupport::TempDir& dir) {
  const testsupport::ShellRun run = testsupport::runShell(command, dir.root());
  EXPECT_EQ(run.status, 0) << command << "\n" << run.err;
  return run.out;
}

std::string contourOf(const std::string& input, const testsupport::TempDir& dir) {
  return mustRun(
      "cd " + shellQuote(dir.root().string()) + " && " + shellQuote(kTool) + " -q " + input + " -",
      dir);
}

// A WAV file of the two glides, written by sox with `waveOptions` ("-b 24 -c 2").
std::string makeWave(const std::string& waveOptions, const testsupport::TempDir& dir) {
  const std::string wave = dir.path("source.wav").string();
  mustRun("sox -D -n -r 16000 " + waveOptions + " " + shellQuote(wave) + " " + kSynth, dir);
  return wave;
}

struct ContainerCase {
  const char* name;
  const char* waveOptions;  // the WAV's sample format and channels
  const char* extension;    // the container, as sox names it
};

class Containers : public testing::TestWithParam<ContainerCase> {};

TEST_P(Containers, GiveTheContourOfTheSameSamplesInWav) {
  if (!canConvert()) GTEST_SKIP() << "needs sox and a build with libsndfile";
  const ContainerCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string wave = makeWave(c.waveOptions, dir);
  const std::string converted = dir.path(std::string("copy.") + c.extension).string();
  mustRun("sox -D " + shellQuote(wave) + " " + shellQuote(converted), dir);

  const std::string expected = contourOf(shellQuote(wave), dir);
  ASSERT_GT(expected.size(), 60U) << "the glides must have a contour to compare";
  EXPECT_EQ(contourOf(shellQuote(converted), dir), expected);
  // The same container arriving through a pipe.
  EXPECT_EQ(mustRun("cat " + shellQuote(converted) + " | " + shellQuote(kTool) + " -q - -", dir),
            expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sox, Containers,
    testing::Values(ContainerCase{"flac_8_mono", "-b 8 -c 1", "flac"},
                    ContainerCase{"flac_8_stereo", "-b 8 -c 2", "flac"},
                    ContainerCase{"flac_16_mono", "-b 16 -c 1", "flac"},
                    ContainerCase{"flac_16_stereo", "-b 16 -c 2", "flac"},
                    ContainerCase{"flac_24_mono", "-b 24 -c 1", "flac"},
                    ContainerCase{"flac_24_stereo", "-b 24 -c 2", "flac"},
                    ContainerCase{"aiff_8_mono", "-b 8 -c 1", "aiff"},
                    ContainerCase{"aiff_16_stereo", "-b 16 -c 2", "aiff"},
                    ContainerCase{"aiff_24_stereo", "-b 24 -c 2", "aiff"},
                    ContainerCase{"aifc_float_stereo", "-e floating-point -b 32 -c 2", "aifc"},
                    ContainerCase{"caf_16_stereo", "-b 16 -c 2", "caf"},
                    ContainerCase{"caf_24_mono", "-b 24 -c 1", "caf"},
                    ContainerCase{"caf_float_stereo", "-e floating-point -b 32 -c 2", "caf"},
                    ContainerCase{"au_8_mono", "-b 8 -c 1", "au"},
                    ContainerCase{"au_16_stereo", "-b 16 -c 2", "au"},
                    ContainerCase{"au_32_mono", "-b 32 -c 1", "au"},
                    ContainerCase{"au_double_mono", "-e floating-point -b 64 -c 1", "au"},
                    ContainerCase{"au_mu_law", "-e mu-law -c 1", "au"},
                    ContainerCase{"au_a_law_stereo", "-e a-law -c 2", "au"},
                    ContainerCase{"w64_8_stereo", "-b 8 -c 2", "w64"},
                    ContainerCase{"w64_24_mono", "-b 24 -c 1", "w64"},
                    ContainerCase{"w64_float_stereo", "-e floating-point -b 32 -c 2", "w64"}),
    [](const testing::TestParamInfo<ContainerCase>& info) { return info.param.name; });

// The lossy codecs give no WAV's samples, but a pipe must give what the file gives; MP3, whose
// decoder looks at the end of its input first, included.
struct LossyCase {
  const char* name;
  const char* encode;  // command that turns source.wav into the file "copy"
};

class LossyPipes : public testing::TestWithParam<LossyCase> {};

TEST_P(LossyPipes, PipeGivesWhatTheFileGives) {
  if (!canConvert()) GTEST_SKIP() << "needs sox and a build with libsndfile";
  testsupport::TempDir dir;
  makeWave("-b 16 -c 2", dir);
  const testsupport::ShellRun encoded = testsupport::runShell(
      "cd " + shellQuote(dir.root().string()) + " && " + GetParam().encode, dir.root());
  if (encoded.status != 0) GTEST_SKIP() << "no encoder: " << encoded.err;
  const std::string expected = contourOf("copy", dir);
  ASSERT_GT(expected.size(), 60U);
  EXPECT_EQ(mustRun("cd " + shellQuote(dir.root().string()) + " && cat copy | " +
                        shellQuote(kTool) + " -q - -",
                    dir),
            expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, LossyPipes,
    testing::Values(LossyCase{"mp3", "sox source.wav -t mp3 copy"},
                    LossyCase{"ogg_vorbis", "sox source.wav -t ogg copy"},
                    LossyCase{"opus",
                              "ffmpeg -loglevel error -i source.wav -c:a libopus -f ogg copy"}),
    [](const testing::TestParamInfo<LossyCase>& info) { return info.param.name; });

// Every way into the library takes the other containers: the tool's standard input and corpus
// mode, trackFile, trackStream and the C interface.
class ContainerEntries : public testing::Test {
 protected:
  void SetUp() override {
    if (!canConvert()) GTEST_SKIP() << "needs sox and a build with libsndfile";
    wave_ = makeWave("-b 24 -c 2", dir_);
    flac_ = dir_.path("song.flac").string();
    mustRun("sox -D " + shellQuote(wave_) + " " + shellQuote(flac_), dir_);
    expected_ = trackFile(wave_).values;
    ASSERT_GT(expected_.size(), 20U);
  }

  testsupport::TempDir dir_;
  std::string wave_;
  std::string flac_;
  std::vector<int32_t> expected_;
};

TEST_F(ContainerEntries, TrackFileAndTrackStream) {
  EXPECT_EQ(trackFile(flac_).values, expected_);
  std::FILE* in = std::fopen(flac_.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(trackStream(::fileno(in), "song.flac").values, expected_);
  std::fclose(in);
}

TEST_F(ContainerEntries, CInterface) {
  pitchtrack_contour* contour = nullptr;
  pitchtrack_error error{};
  ASSERT_EQ(pitchtrack_track_file(flac_.c_str(), &contour, &error), PITCHTRACK_OK) << error.message;
  EXPECT_EQ(std::vector<int32_t>(contour->values, contour->values + contour->count), expected_);
  pitchtrack_contour_free(contour);
}

TEST_F(ContainerEntries, ToolStandardInputAndCorpus) {
  const std::string line = formatContour(expected_);
  EXPECT_EQ(mustRun(shellQuote(kTool) + " -q - - < " + shellQuote(flac_), dir_), line);
  mustRun(shellQuote(kTool) + " -q -o " + shellQuote(dir_.path("out").string()) + " --base " +
              shellQuote(dir_.root().string()) + " " + shellQuote(flac_),
          dir_);
  EXPECT_EQ(testsupport::readFile(dir_.path("out/song.pitch")), line);
}

// A container that cannot be decoded is refused with its name and libsndfile's reason.
TEST_F(ContainerEntries, DamagedContainerIsRefusedByName) {
  testsupport::writeText(dir_.path("bad.flac"), "fLaC and nothing a decoder can use");
  const testsupport::ToolRun run = testsupport::runTool(dir_.root(), "bad.flac bad.pitch");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "Error: cannot open wave file bad.flac!\n");
  EXPECT_NE(run.error.find("pitchtrack: bad.flac: FLAC: "), std::string::npos) << run.error;
}

}  // namespace

}  // namespace pitchtrack
