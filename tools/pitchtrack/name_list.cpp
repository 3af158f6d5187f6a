#include "name_list.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace pitchtrack::cli {

namespace {

constexpr size_t kBlockBytes = 64 * 1024;

// Waits until `descriptor` has data or its end; false when even waiting fails.
bool waitForData(int descriptor) {
  pollfd wanted{descriptor, POLLIN, 0};
  while (::poll(&wanted, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

void NameSplitter::emit(std::string_view name) {
  if (separator_ == '\n' && name.ends_with('\r')) name.remove_suffix(1);
  if (!name.empty()) sink_(name);
}

void NameSplitter::feed(std::span<const char> bytes) {
  std::string_view rest(bytes.data(), bytes.size());
  for (size_t end = rest.find(separator_); end != std::string_view::npos;
       end = rest.find(separator_)) {
    if (partial_.empty()) {
      emit(rest.substr(0, end));
    } else {
      partial_.append(rest.substr(0, end));
      emit(partial_);
      partial_.clear();
    }
    rest.remove_prefix(end + 1);
  }
  partial_.append(rest);
}

void NameSplitter::finish() {
  emit(partial_);
  partial_.clear();
}

std::string readNameList(int descriptor, bool nulSeparated, const NameSplitter::NameSink& sink) {
  NameSplitter splitter(nulSeparated, sink);
  std::array<char, kBlockBytes> block{};
  for (;;) {
    const ssize_t count = ::read(descriptor, block.data(), block.size());
    if (count == 0) break;
    if (count > 0) {
      splitter.feed(std::span(block).first(static_cast<size_t>(count)));
    } else if (errno == EAGAIN && waitForData(descriptor)) {
      continue;
    } else if (errno != EINTR) {
      return std::strerror(errno);
    }
  }
  splitter.finish();
  return "";
}

}  // namespace pitchtrack::cli
