// What the tool makes of an internal fault of the library: the fault's line on standard output
// (standard error when standard output carries the contour) and an error log in the current
// folder.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "pitchtrack/errors.h"

namespace pitchtrack {

// The tool's report of a fault: prints its message and a newline on `lines` (standard output
// unless that carries the contour), and, for
// every fault but "Unsupported order!" (which is only printed), writes the same line to a new log
// file named error_YYYYMMDD_HHMMSS.log (local time) in the current directory. The log is created
// exclusively and never through a symbolic link (mode 0644 less the umask); when that name is taken
// (a second fault in the same second, or anything planted there), the log is
// error_YYYYMMDD_HHMMSS_2.log, _3 and so on up to _100. If no log can be created or written,
// "Error: cannot write error log error_..._HHMMSS.log!" follows on `lines`. Returns the exit status
// the tool ends with, 1.
int reportFatalError(const InternalError& fault, std::FILE* lines = stdout);

// The log file name for a local time: "error_" YYYYMMDD "_" HHMMSS ".log", the year padded with
// spaces to at least four characters, the other fields with leading zeros.
std::string errorLogName(const std::tm& localTime);

}  // namespace pitchtrack
