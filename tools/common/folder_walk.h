// The folders on the way to an output: a symbolic link another user planted in a shared folder
// (world-writable and sticky, like /tmp) is refused wherever it stands in the path, not only as
// the output's own name.
#pragma once

#include <string>

namespace pitchtrack {

// Walks `folder` one component at a time, following links as the kernel would; returns an empty
// string, or the reason the folder must not be used: a link planted by another user in a shared
// folder, or too many links. A component that does not exist ends the walk: nothing lies beyond
// it to be misled by.
std::string plantedLinkOnTheWay(const std::string& folder);

}  // namespace pitchtrack
