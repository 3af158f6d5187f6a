// Live sources and destinations may be Unix sockets: a path names one, and the tool connects.
#pragma once

#include <string>

namespace pitchtrack::cli {

// Whether `path` names a Unix socket.
bool isUnixSocket(const std::string& path);

// A stream socket connected to the socket at `path`, or -1 with errno set.
int connectUnixSocket(const std::string& path);

}  // namespace pitchtrack::cli
