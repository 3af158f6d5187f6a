// Writing an output in place: a FIFO, a character device or a descriptor's link.
#pragma once

#include <string>

#include "output_target.h"

namespace pitchtrack {

// Opens the target for writing without blocking (a FIFO with no reader is an error, not a
// wait), checks that it is still the entry that was examined, and writes `text` to it. Returns
// an empty string, or the reason it failed.
std::string writeToDevice(const OutputTarget& target, const std::string& text);

}  // namespace pitchtrack
