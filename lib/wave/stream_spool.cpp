#include "wave/stream_spool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace pitchtrack {

namespace {

constexpr size_t kCopyBytes = 256 * 1024;

struct Closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::optional<riff::File> spoolToTemporaryFile(riff::File& stream, std::string& problem) {
  const std::unique_ptr<std::FILE, Closer> spool(std::tmpfile());
  if (!spool) {
    problem = std::string("cannot make a temporary file: ") + std::strerror(errno);
    return std::nullopt;
  }
  std::vector<uint8_t> block(kCopyBytes);
  for (uint64_t offset = 0;;) {
    const size_t got = stream.readSome(offset, block);
    if (got == 0) break;
    if (std::fwrite(block.data(), 1, got, spool.get()) != got) {
      problem = std::string("cannot write a temporary file: ") + std::strerror(errno);
      return std::nullopt;
    }
    offset += got;
  }
  if (std::fflush(spool.get()) != 0 || std::fseek(spool.get(), 0, SEEK_SET) != 0) {
    problem = std::string("cannot write a temporary file: ") + std::strerror(errno);
    return std::nullopt;
  }
  // The opened copy holds its own descriptor; closing ours leaves the file to it.
  return riff::File::openDescriptor(::fileno(spool.get()), problem);
}

}  // namespace pitchtrack
