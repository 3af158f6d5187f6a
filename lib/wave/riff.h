// Walking the chunk structure of a RIFF file without loading the file into memory.
//
// A chunk is a four-character id, a 32-bit little-endian payload size, the payload and one pad
// byte when the size is odd. File keeps one small read window, so stepping over many short chunk
// headers costs a system call only every few thousand chunks, while long payloads are read
// straight into the caller's buffer. All file offsets are 64-bit: a declared size near 4 GiB
// moves the walk past the end of the file instead of wrapping back into it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace pitchtrack {

namespace riff {

// A chunk id or form type, as its four bytes in the file.
using FourCc = std::array<uint8_t, 4>;

constexpr FourCc fourCc(const char (&text)[5]) {
  return {static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1]),
          static_cast<uint8_t>(text[2]), static_cast<uint8_t>(text[3])};
}

constexpr uint64_t kChunkHeaderBytes = 8;
// The form type that opens the payload of a "RIFF" chunk.
constexpr uint64_t kFormTypeBytes = 4;

inline uint16_t loadLe16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline uint32_t loadLe32(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint32_t>(loadLe16(bytes, at)) |
         (static_cast<uint32_t>(loadLe16(bytes, at + 2)) << 16);
}

inline uint64_t loadLe64(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint64_t>(loadLe32(bytes, at)) |
         (static_cast<uint64_t>(loadLe32(bytes, at + 4)) << 32);
}

inline void storeLe16(std::span<uint8_t> bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value & 0xFF);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void storeLe32(std::span<uint8_t> bytes, size_t at, uint32_t value) {
  storeLe16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  storeLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

struct ChunkHeader {
  uint64_t offset = 0;  // file position of the id
  FourCc id{};
  uint32_t size = 0;  // declared payload size; the file may hold fewer bytes

  uint64_t payloadOffset() const { return offset + kChunkHeaderBytes; }
  // Where the following chunk starts: after the payload and its pad byte.
  uint64_t nextOffset() const { return payloadOffset() + size + (size & 1U); }
};

class File {
 public:
  // Opens path for reading; nullopt when it cannot be opened (missing, unreadable, a directory),
  // with `reason` saying why. A path that cannot seek (a FIFO) is read as a stream.
  static std::optional<File> open(const std::string& path, std::string& reason);
  // Reads from an open descriptor (standard input, a pipe, a socket, a file) without taking it
  // over: a regular file is read as by open(), anything else as a stream.
  static std::optional<File> openDescriptor(int descriptor, std::string& reason);
  // Reads `bytes`, which must outlive the File, as a file of exactly that size.
  static std::optional<File> openMemory(std::span<const uint8_t> bytes, std::string& reason);

  // A stream has no known size: it can only be read forward, and its end shows only when a read
  // reaches it.
  bool isStream() const { return stream_; }
  // The bytes of the file from offset on; never more than the file holds. Unbounded for a
  // stream.
  uint64_t bytesFrom(uint64_t offset) const { return offset < size_ ? size_ - offset : 0; }

  // Fills destination with the bytes at offset. False when the file ends first or reading fails,
  // and, for a stream, when offset lies before what was already read.
  bool read(uint64_t offset, std::span<uint8_t> destination);
  // Reads up to destination.size() bytes at offset and returns how many: fewer only at the end
  // of the file (or after a read error).
  size_t readSome(uint64_t offset, std::span<uint8_t> destination);
  // The same, except that a stream gives what it holds now: at least one byte (waiting for it)
  // unless it has ended, so that samples written into a pipe are handed on as they come.
  size_t readAvailable(uint64_t offset, std::span<uint8_t> destination);

  // The first top-level "RIFF" chunk of the given form type; other top-level chunks are skipped.
  std::optional<ChunkHeader> findForm(const FourCc& formType);

  // The first chunk with the given id at or after offset `from`, stepping over other chunks
  // until the end of the file (not the end of any enclosing chunk). A chunk that claims to run
  // past the end of the file ends the search. The found chunk itself may be cut short.
  std::optional<ChunkHeader> findChunk(const FourCc& id, uint64_t from);

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  using Handle = std::unique_ptr<std::FILE, Closer>;

  File(Handle handle, uint64_t size, bool stream)
      : handle_(std::move(handle)), size_(size), stream_(stream) {}
  static std::optional<File> fromHandle(Handle handle, std::string& reason);

  bool windowHolds(uint64_t offset, size_t count) const;
  bool fillWindow(uint64_t offset);
  size_t readDirect(uint64_t offset, std::span<uint8_t> destination);
  size_t readForward(uint64_t offset, std::span<uint8_t> destination);

  Handle handle_;
  uint64_t size_ = 0;
  bool stream_ = false;
  uint64_t streamPosition_ = 0;  // bytes of a stream consumed so far
  uint64_t base_ = 0;            // where the recording starts in an opened descriptor's file
  std::vector<uint8_t> window_;  // copy of the file bytes at windowStart_
  uint64_t windowStart_ = 0;
};

}  // namespace riff

}  // namespace pitchtrack
