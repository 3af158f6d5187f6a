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

// On a terminal, a status line redrawn in place on standard error (a corpus run's progress):
// `text` replaces the one drawn before. Every report above clears it first, so that no reason is
// appended to it; the next drawing brings it back below the reason.
void drawStatusLine(const char* text) noexcept;
// Ends the status line drawn last with a newline, so that it stays on the screen.
void endStatusLine() noexcept;

}  // namespace pitchtrack::cli
