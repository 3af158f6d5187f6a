#include "wave/riff.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include "wave/blocking_read.h"

namespace pitchtrack {

namespace riff {
namespace {

// Large enough that header walks rarely refill it, small enough to be negligible next to data.
constexpr size_t kWindowBytes = 64 * 1024;
constexpr FourCc kRiffId = fourCc("RIFF");

static_assert(sizeof(off_t) >= sizeof(int64_t), "file offsets must be 64-bit");

// Consecutive all-zero chunk headers a walk steps over before it gives up: 512 KiB of zeros.
constexpr size_t kMaxZeroHeaders = 65536;

bool isZeroHeader(const ChunkHeader& header) {
  return header.size == 0 && header.id == FourCc{0, 0, 0, 0};
}

ChunkHeader parseHeader(uint64_t offset, std::span<const uint8_t> bytes) {
  ChunkHeader header;
  header.offset = offset;
  std::copy_n(bytes.begin(), header.id.size(), header.id.begin());
  header.size = loadLe32(bytes, 4);
  return header;
}

}  // namespace

std::optional<File> File::open(const std::string& path, std::string& reason) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    reason = "is a directory";
    return std::nullopt;
  }
  Handle handle(std::fopen(path.c_str(), "rb"));
  if (!handle) {
    reason = errno == ENOENT ? "no such file" : std::strerror(errno);
    if (errno == EACCES) reason = "permission denied";
    return std::nullopt;
  }
  return fromHandle(std::move(handle), reason);
}

std::optional<File> File::openDescriptor(int descriptor, std::string& reason) {
  const int own = ::dup(descriptor);
  if (own < 0) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  Handle handle(::fdopen(own, "rb"));
  if (!handle) {
    reason = std::strerror(errno);
    ::close(own);
    return std::nullopt;
  }
  return fromHandle(std::move(handle), reason);
}

std::optional<File> File::openMemory(std::span<const uint8_t> bytes, std::string& reason) {
  // A memory stream of no bytes is refused by some C libraries: an empty recording reads one
  // byte that lies past its end.
  static uint8_t nothing = 0;
  void* start = bytes.empty() ? &nothing : const_cast<uint8_t*>(bytes.data());
  Handle handle(::fmemopen(start, std::max<size_t>(bytes.size(), 1), "rb"));
  if (!handle) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  std::setvbuf(handle.get(), nullptr, _IONBF, 0);
  return File(std::move(handle), bytes.size(), false);
}

std::optional<File> File::fromHandle(Handle handle, std::string& reason) {
  // Reads go through our own window or straight into the destination; a second buffer in the
  // stream would only add a copy.
  std::setvbuf(handle.get(), nullptr, _IONBF, 0);
  struct stat status {};
  const bool examined = ::fstat(::fileno(handle.get()), &status) == 0;
  if (examined && S_ISDIR(status.st_mode)) {
    reason = "is a directory";
    return std::nullopt;
  }
  const bool regular = examined && S_ISREG(status.st_mode);
  if (!regular) return File(std::move(handle), std::numeric_limits<uint64_t>::max(), true);
  const off_t start = ftello(handle.get());
  if (start < 0 || fseeko(handle.get(), 0, SEEK_END) != 0) {
    reason = "cannot seek in the file";
    return std::nullopt;
  }
  const off_t end = ftello(handle.get());
  if (end < start) {
    reason = "cannot seek in the file";
    return std::nullopt;
  }
  // A descriptor may stand anywhere in its file: the recording starts there.
  File file(std::move(handle), static_cast<uint64_t>(end - start), false);
  file.base_ = static_cast<uint64_t>(start);
  return file;
}

bool File::read(uint64_t offset, std::span<uint8_t> destination) {
  if (destination.size() > bytesFrom(offset)) return false;
  return readSome(offset, destination) == destination.size();
}

size_t File::readSome(uint64_t offset, std::span<uint8_t> destination) {
  if (destination.empty()) return 0;
  const size_t wanted =
      static_cast<size_t>(std::min<uint64_t>(destination.size(), bytesFrom(offset)));
  destination = destination.first(wanted);
  if (windowHolds(offset, destination.size())) {
    const auto start = window_.begin() + static_cast<std::ptrdiff_t>(offset - windowStart_);
    std::copy_n(start, destination.size(), destination.begin());
    return destination.size();
  }
  if (stream_) return readForward(offset, destination);
  if (destination.size() >= kWindowBytes) return readDirect(offset, destination);
  if (!fillWindow(offset)) return 0;
  const size_t count = std::min(destination.size(), window_.size());
  std::copy_n(window_.begin(), count, destination.begin());
  return count;
}

size_t File::readAvailable(uint64_t offset, std::span<uint8_t> destination) {
  if (!stream_ || destination.empty()) return readSome(offset, destination);
  if (windowHolds(offset, 1)) {
    const size_t held =
        std::min(destination.size(), static_cast<size_t>(windowStart_ + window_.size() - offset));
    std::copy_n(window_.begin() + static_cast<std::ptrdiff_t>(offset - windowStart_), held,
                destination.begin());
    return held;
  }
  if (offset != streamPosition_) return readSome(offset, destination);
  const size_t count = readAtLeast(::fileno(handle_.get()), destination, 1);
  streamPosition_ += count;
  return count;
}

std::optional<ChunkHeader> File::findForm(const FourCc& formType) {
  std::array<uint8_t, kChunkHeaderBytes + kFormTypeBytes> bytes{};
  size_t zeroRun = 0;
  for (uint64_t offset = 0; read(offset, bytes);) {
    const ChunkHeader header = parseHeader(offset, bytes);
    if (header.id == kRiffId && std::equal(formType.begin(), formType.end(), bytes.begin() + 8)) {
      return header;
    }
    zeroRun = isZeroHeader(header) ? zeroRun + 1 : 0;
    if (zeroRun > kMaxZeroHeaders) return std::nullopt;
    offset = header.nextOffset();
  }
  return std::nullopt;
}

std::optional<ChunkHeader> File::findChunk(const FourCc& id, uint64_t from) {
  std::array<uint8_t, kChunkHeaderBytes> bytes{};
  size_t zeroRun = 0;
  for (uint64_t offset = from; read(offset, bytes);) {
    const ChunkHeader header = parseHeader(offset, bytes);
    if (header.id == id) return header;
    // Eight zero bytes read as an empty chunk with an id no writer uses. A long run of them is
    // a hole in a damaged or sparse file (or an endless zero device): walking it header by
    // header would take unbounded time, so it ends the search.
    zeroRun = isZeroHeader(header) ? zeroRun + 1 : 0;
    if (zeroRun > kMaxZeroHeaders) return std::nullopt;
    offset = header.nextOffset();
  }
  return std::nullopt;
}

bool File::windowHolds(uint64_t offset, size_t count) const {
  return offset >= windowStart_ && offset - windowStart_ + count <= window_.size();
}

bool File::fillWindow(uint64_t offset) {
  window_.resize(static_cast<size_t>(std::min<uint64_t>(kWindowBytes, bytesFrom(offset))));
  windowStart_ = offset;
  window_.resize(readDirect(offset, window_));
  return !window_.empty();
}

size_t File::readDirect(uint64_t offset, std::span<uint8_t> destination) {
  if (fseeko(handle_.get(), static_cast<off_t>(base_ + offset), SEEK_SET) != 0) return 0;
  return std::fread(destination.data(), 1, destination.size(), handle_.get());
}

// A stream keeps its last read in the window, so that the chunk walk can look at a header again
// and the data that follows it; anything before the window is gone. A gap after what was read
// is read and dropped.
size_t File::readForward(uint64_t offset, std::span<uint8_t> destination) {
  size_t done = 0;
  if (offset >= windowStart_ && offset < windowStart_ + window_.size()) {
    done = static_cast<size_t>(windowStart_ + window_.size() - offset);
    std::copy_n(window_.begin() + static_cast<std::ptrdiff_t>(offset - windowStart_), done,
                destination.begin());
  }
  const uint64_t next = offset + done;
  if (next < streamPosition_) return 0;
  std::vector<uint8_t> dropped;
  for (uint64_t gap = next - streamPosition_; gap > 0;) {
    dropped.resize(static_cast<size_t>(std::min<uint64_t>(gap, kWindowBytes)));
    const size_t count = readFully(::fileno(handle_.get()), dropped);
    streamPosition_ += count;
    gap -= count;
    if (count < dropped.size()) return 0;
  }
  const auto rest = destination.subspan(done);
  // Small reads fill a new window, so that a chunk walk over short headers costs one system call
  // every few thousand chunks, as for a file.
  window_.resize(std::max(rest.size(), kWindowBytes));
  const size_t count = readAtLeast(::fileno(handle_.get()), window_, rest.size());
  window_.resize(count);
  windowStart_ = streamPosition_;
  streamPosition_ += count;
  const size_t copied = std::min(count, rest.size());
  std::copy_n(window_.begin(), copied, rest.begin());
  return done + copied;
}

}  // namespace riff

}  // namespace pitchtrack
