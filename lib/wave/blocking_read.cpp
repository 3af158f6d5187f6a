#include "wave/blocking_read.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace pitchtrack {

namespace {

// Waits until `descriptor` has data, its end or an error to report; false when waiting fails.
bool waitForData(int descriptor) {
  pollfd wanted{descriptor, POLLIN, 0};
  while (::poll(&wanted, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

size_t readFully(int descriptor, std::span<uint8_t> destination) {
  return readAtLeast(descriptor, destination, destination.size());
}

size_t readAtLeast(int descriptor, std::span<uint8_t> destination, size_t wanted) {
  size_t done = 0;
  while (done < wanted) {
    const ssize_t count = ::read(descriptor, destination.data() + done, destination.size() - done);
    if (count > 0) {
      done += static_cast<size_t>(count);
    } else if (count == 0) {
      break;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!waitForData(descriptor)) break;
    } else if (errno != EINTR) {
      break;
    }
  }
  return done;
}

}  // namespace pitchtrack
