#include "wave/riff.h"

#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace pitchtrack {

namespace riff {
namespace {

// Large enough that header walks rarely refill it, small enough to be negligible next to data.
constexpr size_t kWindowBytes = 64 * 1024;
constexpr FourCc kRiffId = fourCc("RIFF");

static_assert(sizeof(off_t) >= sizeof(int64_t), "file offsets must be 64-bit");

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
  reason = "cannot seek in the file";
  // Reads go through our own window or straight into the destination; a second buffer in the
  // stream would only add a copy.
  std::setvbuf(handle.get(), nullptr, _IONBF, 0);
  if (fseeko(handle.get(), 0, SEEK_END) != 0) return std::nullopt;
  const off_t end = ftello(handle.get());
  if (end < 0) return std::nullopt;
  return File(std::move(handle), static_cast<uint64_t>(end));
}

bool File::read(uint64_t offset, std::span<uint8_t> destination) {
  if (destination.size() > bytesFrom(offset)) return false;
  if (destination.empty()) return true;
  if (!windowHolds(offset, destination.size())) {
    if (destination.size() >= kWindowBytes) return readDirect(offset, destination);
    if (!fillWindow(offset)) return false;
  }
  const auto start = window_.begin() + static_cast<std::ptrdiff_t>(offset - windowStart_);
  std::copy_n(start, destination.size(), destination.begin());
  return true;
}

std::optional<ChunkHeader> File::findForm(const FourCc& formType) {
  std::array<uint8_t, kChunkHeaderBytes + kFormTypeBytes> bytes{};
  for (uint64_t offset = 0; read(offset, bytes);) {
    const ChunkHeader header = parseHeader(offset, bytes);
    if (header.id == kRiffId && std::equal(formType.begin(), formType.end(), bytes.begin() + 8)) {
      return header;
    }
    offset = header.nextOffset();
  }
  return std::nullopt;
}

std::optional<ChunkHeader> File::findChunk(const FourCc& id, uint64_t from) {
  std::array<uint8_t, kChunkHeaderBytes> bytes{};
  for (uint64_t offset = from; read(offset, bytes);) {
    const ChunkHeader header = parseHeader(offset, bytes);
    if (header.id == id) return header;
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
  if (readDirect(offset, window_)) return true;
  window_.clear();
  return false;
}

bool File::readDirect(uint64_t offset, std::span<uint8_t> destination) {
  if (fseeko(handle_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(destination.data(), 1, destination.size(), handle_.get()) == destination.size();
}

}  // namespace riff

}  // namespace pitchtrack
