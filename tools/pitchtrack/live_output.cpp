#include "live_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "unix_socket.h"

namespace pitchtrack::cli {

namespace {

// A path as a live destination: a Unix socket is connected to, anything else opened for writing.
int openDestination(const std::string& path) {
  if (isUnixSocket(path)) return connectUnixSocket(path);
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

}  // namespace

LiveOutput::LiveOutput(const std::string& name) {
  descriptor_ = name == "-" ? STDOUT_FILENO : openDestination(name);
  if (descriptor_ < 0) throw std::runtime_error(std::strerror(errno));
  ownsDescriptor_ = name != "-";
}

LiveOutput::~LiveOutput() {
  if (ownsDescriptor_) ::close(descriptor_);
}

bool LiveOutput::write(const std::string& text) {
  if (!reason_.empty()) return false;
  const char* bytes = text.data();
  for (size_t left = text.size(); left > 0;) {
    const ssize_t written = ::write(descriptor_, bytes, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      reason_ = written < 0 ? std::strerror(errno) : "cannot write";
      return false;
    }
    bytes += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace pitchtrack::cli
