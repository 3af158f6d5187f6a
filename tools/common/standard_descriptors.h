// A program started with standard input, output or error closed would hand those descriptor
// numbers to the next files it opens, and its messages would land inside them.
#pragma once

namespace pitchtrack {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed; to be called first thing.
void openClosedStandardDescriptors();

}  // namespace pitchtrack
