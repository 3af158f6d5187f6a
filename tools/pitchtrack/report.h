// How the tool tells a person what went wrong: one line on standard error per failure,
// "pitchtrack: FILE: REASON".
#pragma once

#include <string>

namespace pitchtrack::cli {

// `name` with its control characters escaped (a newline becomes "\n", other bytes below 0x20
// and 0x7F "\xHH"), so that a reason always stays on one line.
std::string printableName(const std::string& name);

// Writes "pitchtrack: FILE: REASON" and a newline on standard error in one piece; never throws.
void reportFailure(const std::string& file, const std::string& reason) noexcept;
void reportFailure(const std::string& file, const char* reason) noexcept;

}  // namespace pitchtrack::cli
