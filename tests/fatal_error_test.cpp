#include "fatal_error.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>

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

// Occupies the log names of the next few seconds with directories, so the log cannot be opened.
void blockLogNames() {
  const std::time_t now = std::time(nullptr);
  for (std::time_t t = now; t < now + 5; ++t) {
    std::tm local{};
    localtime_r(&t, &local);
    mkdir(errorLogName(local).c_str(), 0700);
  }
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
        std::exit(reportFatalError(InternalError("Unsupported order!", false)));
      },
      testing::ExitedWithCode(1), testing::Eq(std::string("Unsupported order!\n")));
}

TEST(FatalErrorDeathTest, UnwritableLogIsReportedAndStillFails) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        testsupport::enterScratchDirectory();
        blockLogNames();
        std::exit(reportFatalError(InternalError("disk trouble")));
      },
      testing::ExitedWithCode(1),
      testing::MatchesRegex(
          "disk trouble\nError: cannot write error log error_[0-9]{8}_[0-9]{6}\\.log!\n"));
}

}  // namespace

}  // namespace pitchtrack
