// The installed package: `cmake --install` of this build tree into a fresh prefix, then a program
// from outside the project (tests/consumer) built against that prefix alone, once through
// find_package(pitchtrack CONFIG) and once through pkg-config. Its contour of a recording must
// be the installed tool's pitch file for the same recording.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runShell;
using testsupport::shellQuote;
using testsupport::TempDir;

const fs::path kConsumerSource = fs::path(PT_SOURCE_DIR) / "tests" / "consumer";

class InstalledPackage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = std::make_unique<TempDir>();
    const auto run =
        runShell(shellQuote(PT_CMAKE_COMMAND) + " --install " + shellQuote(PT_BUILD_DIR) +
                     " --prefix " + shellQuote(prefix_->root().string()),
                 prefix_->root());
    installStatus_ = run.status;
    installLog_ = run.out + run.err;
    for (const auto& entry : fs::recursive_directory_iterator(prefix_->root())) {
      if (entry.path().filename() == "libpitchtrack.a") libDir_ = entry.path().parent_path();
    }
  }

  static void TearDownTestSuite() { prefix_.reset(); }

  void SetUp() override { ASSERT_EQ(installStatus_, 0) << installLog_; }

  static const fs::path& prefix() { return prefix_->root(); }

  // Runs `command` in `work`, expecting success.
  static void mustRun(const std::string& command, const TempDir& work) {
    const auto run =
        runShell("cd " + shellQuote(work.root().string()) + " && " + command, work.root());
    ASSERT_EQ(run.status, 0) << command << "\n" << run.out << run.err;
  }

  // A recording at 22050 Hz (so the pipeline resamples) and the installed tool's pitch file of
  // it, in `work`: rec.wav and tool.pitch.
  static void recordAndTrack(const TempDir& work) {
    using testsignal::semitoneHz;
    const auto samples =
        testsignal::hummedNotes(22050, {semitoneHz(55.5), semitoneHz(59.5), semitoneHz(62.5)});
    testwav::writeFile(work.path("rec.wav"), testwav::pcmWave(samples, 22050));
    mustRun(shellQuote((prefix() / "bin" / "pitchtrack").string()) + " rec.wav tool.pitch", work);
    const std::string line = readFile(work.path("tool.pitch"));
    // G3, B3 and D4 (quarter tones sharp, truncated): the comparison below is not between two
    // empty files.
    ASSERT_TRUE(line.starts_with("550+")) << line;
    ASSERT_NE(line.find("+590+"), std::string::npos) << line;
    ASSERT_TRUE(line.ends_with("+620\n")) << line;
  }

  inline static std::unique_ptr<TempDir> prefix_;
  inline static int installStatus_ = -1;
  inline static std::string installLog_;
  inline static fs::path libDir_;
};

TEST_F(InstalledPackage, HoldsTheToolsLibrariesHeadersPackageAndManualPages) {
  for (const char* file : {"bin/pitchtrack", "bin/pitchplot", "include/pitchtrack/pitchtrack.h",
                           "include/pitchtrack/pitchtrack_c.h", "share/man/man1/pitchtrack.1",
                           "share/man/man1/pitchplot.1"}) {
    EXPECT_TRUE(fs::is_regular_file(prefix() / file)) << file;
  }
  ASSERT_FALSE(libDir_.empty()) << "libpitchtrack.a is not installed";
  for (const char* file : {"libpitchtrack.so.2", "cmake/pitchtrack/pitchtrackConfig.cmake",
                           "cmake/pitchtrack/pitchtrackConfigVersion.cmake",
                           "cmake/pitchtrack/pitchtrackTargets.cmake", "pkgconfig/pitchtrack.pc",
                           "pkgconfig/pitchtrack-static.pc"}) {
    EXPECT_TRUE(fs::exists(libDir_ / file)) << file;
  }
  // The shared library names its major version, so that programs keep the one they were
  // linked with.
  const auto soname =
      runShell("readelf -d " + shellQuote((libDir_ / "libpitchtrack.so").string()), prefix());
  EXPECT_NE(soname.out.find("Library soname: [libpitchtrack.so.2]"), std::string::npos)
      << soname.out;
  // The public headers stand alone: nothing of the internals comes with them.
  const auto headers = std::distance(fs::recursive_directory_iterator(prefix() / "include"),
                                     fs::recursive_directory_iterator());
  EXPECT_EQ(headers, 9) << "include/pitchtrack and its eight headers";
  // The package is the project's version.
  EXPECT_NE(readFile(libDir_ / "cmake/pitchtrack/pitchtrackConfigVersion.cmake")
                .find("set(PACKAGE_VERSION \"2.0.0\")"),
            std::string::npos);
}

// A C++17 program on the static library, a C program on the shared one, and a program using the
// first version's target name, all found through find_package(pitchtrack CONFIG).
TEST_F(InstalledPackage, ConsumersFoundThroughCMakeComputeTheToolsContour) {
  TempDir work;
  recordAndTrack(work);
  const std::string build = work.path("build").string();
  mustRun(shellQuote(PT_CMAKE_COMMAND) + " -S " + shellQuote(kConsumerSource.string()) + " -B " +
              shellQuote(build) + " -G " + shellQuote(PT_CMAKE_GENERATOR) +
              " -DCMAKE_MAKE_PROGRAM=" + shellQuote(PT_CMAKE_MAKE_PROGRAM) +
              " -DCMAKE_CXX_COMPILER=" + shellQuote(PT_CXX_COMPILER) +
              " -DCMAKE_C_COMPILER=" + shellQuote(PT_C_COMPILER) +
              " -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF" +
              " -DCMAKE_PREFIX_PATH=" + shellQuote(prefix().string()),
          work);
  // The package was found in the fresh prefix, not elsewhere on the machine.
  EXPECT_NE(readFile(work.path("build") / "CMakeCache.txt")
                .find("pitchtrack_DIR:PATH=" + (libDir_ / "cmake" / "pitchtrack").string()),
            std::string::npos);
  mustRun(shellQuote(PT_CMAKE_COMMAND) + " --build " + shellQuote(build), work);
  for (const char* program : {"consumer", "consumer_c", "consumer_first_name"}) {
    const std::string output = std::string(program) + ".pitch";
    mustRun(shellQuote(build + "/" + program) + " rec.wav " + output, work);
    EXPECT_EQ(readFile(work.path(output)), readFile(work.path("tool.pitch"))) << program;
  }
}

// Built by hand with pkg-config: the C++ program with the compiler's default language level
// (C++17 for g++ 12) on the shared library, the C program with cc on the static one.
TEST_F(InstalledPackage, ConsumersBuiltThroughPkgConfigComputeTheToolsContour) {
  if (!testsupport::haveProgram("pkg-config")) GTEST_SKIP() << "pkg-config is not installed";
  TempDir work;
  recordAndTrack(work);
  const std::string pkgConfig =
      "PKG_CONFIG_PATH=" + shellQuote((libDir_ / "pkgconfig").string()) + " pkg-config";
  const std::string rpath = " -Wl,-rpath," + shellQuote(libDir_.string());
  mustRun(shellQuote(PT_CXX_COMPILER) + " -Wall -Wextra -Wpedantic -Werror " +
              shellQuote((kConsumerSource / "main.cpp").string()) + " $(" + pkgConfig +
              " --cflags --libs pitchtrack)" + rpath + " -o consumer",
          work);
  mustRun(shellQuote(PT_C_COMPILER) + " -std=c99 -Wall -Wextra -Wpedantic -Werror " +
              shellQuote((kConsumerSource / "main.c").string()) + " $(" + pkgConfig +
              " --cflags --libs pitchtrack-static) -o consumer_c",
          work);
  for (const char* program : {"consumer", "consumer_c"}) {
    const std::string output = std::string(program) + ".pitch";
    mustRun(std::string("./") + program + " rec.wav " + output, work);
    EXPECT_EQ(readFile(work.path(output)), readFile(work.path("tool.pitch"))) << program;
  }
  // The C program really holds the library: it runs with no shared pitchtrack to find.
  const auto needed = runShell("readelf -d consumer_c", work.root());
  EXPECT_EQ(needed.out.find("libpitchtrack"), std::string::npos) << needed.out;
}

}  // namespace

}  // namespace pitchtrack
