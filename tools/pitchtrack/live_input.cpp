#include "live_input.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "unix_socket.h"

namespace pitchtrack::cli {

namespace {

// The write end of the stop pipe of the running live input, for the SIGINT handler.
std::atomic<int> interruptTarget{-1};

// Async-signal-safe: one byte into the stop pipe; SA_RESETHAND has restored the default action,
// so a second SIGINT ends the process.
void onInterrupt(int /*signal*/) {
  const int saved = errno;
  const int target = interruptTarget.load();
  if (target >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(target, &byte, 1);
  }
  errno = saved;
}

// Catches SIGINT unless the process inherited it as ignored (a background job). SA_RESTART keeps
// the reads of the analysis going; the copier's poll() wakes up on the stop pipe.
void catchInterrupt(int stopWrite) {
  interruptTarget.store(stopWrite);
  struct sigaction current {};
  if (::sigaction(SIGINT, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
  struct sigaction handler {};
  handler.sa_handler = onInterrupt;
  handler.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&handler.sa_mask);
  ::sigaction(SIGINT, &handler, nullptr);
}

// A path as a live source: a Unix socket is connected to, anything else opened for reading.
int openSource(const std::string& path) {
  if (isUnixSocket(path)) return connectUnixSocket(path);
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

bool writeAll(int descriptor, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(descriptor, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

// Copies `source` into `sink` as bytes arrive until the source ends or fails, the reader of
// `sink` goes away, or a byte arrives on `stop`; then closes `sink`.
void copyUntilEnd(int source, int sink, int stop) {
  std::vector<uint8_t> buffer(1 << 16);
  std::array<pollfd, 2> watched{pollfd{source, POLLIN, 0}, pollfd{stop, POLLIN, 0}};
  while (true) {
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (watched[1].revents != 0) break;
    if (watched[0].revents == 0) continue;
    const ssize_t count = ::read(source, buffer.data(), buffer.size());
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0 || !writeAll(sink, buffer.data(), static_cast<size_t>(count))) break;
  }
  ::close(sink);
}

}  // namespace

LiveInput::LiveInput(const std::string& name) {
  source_ = name == "-" ? STDIN_FILENO : openSource(name);
  if (source_ < 0) throw std::runtime_error(std::strerror(errno));
  ownsSource_ = name != "-";
  std::array<int, 2> data{};
  std::array<int, 2> stop{};
  if (::pipe2(data.data(), O_CLOEXEC) != 0 || ::pipe2(stop.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::runtime_error(std::strerror(errno));
  }
  readEnd_ = data[0];
  stopRead_ = stop[0];
  stopWrite_ = stop[1];
  catchInterrupt(stopWrite_);
  copier_ = std::thread(copyUntilEnd, source_, data[1], stopRead_);
}

void LiveInput::stop() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(stopWrite_, &byte, 1);
}

LiveInput::~LiveInput() {
  stop();
  ::close(readEnd_);  // a copier blocked on a full pipe gets EPIPE (SIGPIPE is ignored)
  if (copier_.joinable()) copier_.join();
  interruptTarget.store(-1);
  ::close(stopRead_);
  ::close(stopWrite_);
  if (ownsSource_) ::close(source_);
}

}  // namespace pitchtrack::cli
