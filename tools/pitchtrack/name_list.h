// The corpus list (--files-from): names one per line, or ended by NUL, read as they arrive.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace pitchtrack::cli {

// Cuts a byte stream into names: one per line (a carriage return before the newline is dropped)
// or ended by NUL; empty names are skipped, and a last name without its separator still counts.
// Bytes may arrive in pieces of any size.
class NameSplitter {
 public:
  using NameSink = std::function<void(std::string_view name)>;
  NameSplitter(bool nulSeparated, NameSink sink)
      : separator_(nulSeparated ? '\0' : '\n'), sink_(std::move(sink)) {}

  void feed(std::span<const char> bytes);
  // The input ended: hands on an unfinished last name.
  void finish();

 private:
  void emit(std::string_view name);

  char separator_;
  NameSink sink_;
  std::string partial_;  // the start of a name whose separator has not arrived yet
};

// Reads the list open as `descriptor` to its end, block by block, handing each name to `sink` as
// soon as it is complete: the list never has to fit in memory at once. Waits for a non-blocking
// descriptor's data instead of taking "no data yet" for the end. Returns an empty string, or why
// the list could not be read ("Bad file descriptor", "Is a directory", ...).
std::string readNameList(int descriptor, bool nulSeparated, const NameSplitter::NameSink& sink);

}  // namespace pitchtrack::cli
