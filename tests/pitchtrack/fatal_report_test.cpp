#include "fatal_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/fault.h"
#include "support/dying_child.h"
#include "support/expect_fault.h"

namespace pitchtrack {

namespace {

std::tm at(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(FatalError, LogNameCarriesTheLocalTime) {
  EXPECT_EQ(errorLogName(at(2026, 12, 6, 3, 5, 12)), "error_20261206_030512.log");
  EXPECT_EQ(errorLogName(at(2026, 10, 31, 23, 59, 59)), "error_20261031_235959.log");
  // The year is padded with spaces, not zeros.
  EXPECT_EQ(errorLogName(at(999, 1, 2, 0, 0, 0)), "error_ 9990102_000000.log");
}

TEST(FatalErrorDeathTest, PrintsAndLogsTheMessageLiterally) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const char* message : {"msg with %d and %s", ""}) {
    EXPECT_EXIT(
        {
          testsupport::enterScratchDirectory();
          std::exit(reportFatalError(InternalError(message)));
        },
        testing::ExitedWithCode(1), testsupport::fatalErrorReport(message));
  }
}

// The log names of the next few seconds, so that a log written now finds its name among them.
std::vector<std::string> comingLogNames() {
  std::vector<std::string> names;
  const std::time_t now = std::time(nullptr);
  for (std::time_t t = now; t < now + 5; ++t) {
    std::tm local{};
    localtime_r(&t, &local);
    names.push_back(errorLogName(local));
  }
  return names;
}

// Leaves the process in a folder that no longer exists, where no file can be created.
void enterRemovedFolder() {
  if (mkdir("gone", 0700) != 0 || chdir("gone") != 0 || rmdir("../gone") != 0) std::_Exit(97);
}

TEST(FatalError, RaisesTheFaultInsteadOfEndingTheProcess) {
  testsupport::expectFault([] { fatalError("Unknown pfType=3 (line 1200 of file lib/audio)"); },
                           "Unknown pfType=3 (line 1200 of file lib/audio)");
}

TEST(FatalErrorDeathTest, UnloggedFaultIsOnlyPrinted) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testsupport::enterScratchDirectory();
        std::exit(reportFatalError(InternalError("Unsupported order!")));
      },
      testing::ExitedWithCode(1), testing::Eq(std::string("Unsupported order!\n")));
}

TEST(FatalErrorDeathTest, UnwritableLogIsReportedAndStillFails) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testsupport::enterScratchDirectory();
        enterRemovedFolder();
        std::exit(reportFatalError(InternalError("disk trouble")));
      },
      testing::ExitedWithCode(1),
      testing::MatchesRegex(
          "disk trouble\nError: cannot write error log error_[0-9]{8}_[0-9]{6}\\.log!\n"));
}

// A second fault in the same second (or the next) keeps its own log beside the first.
TEST(FatalErrorDeathTest, FaultsOfTheSameSecondKeepTheirOwnLogs) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testsupport::enterScratchDirectory();
        reportFatalError(InternalError("first"));
        std::exit(reportFatalError(InternalError("second")));
      },
      testing::ExitedWithCode(1),
      testing::MatchesRegex("first\nsecond\n"
                            "\\[file error_[0-9]{8}_[0-9]{6}\\.log\\]\nfirst\n"
                            "\\[file error_[0-9]{8}_[0-9]{6}(_2)?\\.log\\]\nsecond\n"));
}

// Whatever holds the log's name (a link planted there, a folder, an older log) is left as it
// is, and the log takes the next free numbered name.
TEST(FatalErrorDeathTest, TakenLogNameIsNeitherFollowedNorReplaced) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* what;
    void (*occupy)(const std::string& name);
  };
  const Case cases[] = {
      {"link", [](const std::string& name) { symlink("victim", name.c_str()); }},
      {"dangling link", [](const std::string& name) { symlink("nowhere", name.c_str()); }},
      {"folder", [](const std::string& name) { mkdir(name.c_str(), 0700); }},
      {"older log", [](const std::string& name) { link("victim", name.c_str()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EXIT(
        {
          testsupport::enterScratchDirectory();
          std::FILE* victim = std::fopen("victim", "w");
          std::fputs("untouched\n", victim);
          std::fclose(victim);
          const std::vector<std::string> names = comingLogNames();
          for (const std::string& name : names) c.occupy(name);
          const int status = reportFatalError(InternalError("boom"));
          for (const std::string& name : names) std::filesystem::remove(name);
          std::exit(status);
        },
        testing::ExitedWithCode(1),
        testing::MatchesRegex("boom\n\\[file error_[0-9]{8}_[0-9]{6}_2\\.log\\]\nboom\n"
                              "\\[file victim\\]\nuntouched\n"));
  }
}

}  // namespace

}  // namespace pitchtrack
