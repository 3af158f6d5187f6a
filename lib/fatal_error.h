// The one fault path of the analysis library.
//
// fatalError prints `message` and a newline on standard output, writes the same line to a log
// file named error_YYYYMMDD_HHMMSS.log (local time) in the current directory, and ends the
// process with exit status 1 through the normal exit path, so buffered output is flushed. The
// message is printed and logged literally ('%' is not a conversion). If the log cannot be
// written, a line saying so follows on standard output and the status is still 1.
#pragma once

#include <ctime>
#include <string>

[[noreturn]] void fatalError(const char* message);

// The log file name for a local time: "error_" YYYYMMDD "_" HHMMSS ".log", the year padded with
// spaces to at least four characters, the other fields with leading zeros.
std::string errorLogName(const std::tm& localTime);
