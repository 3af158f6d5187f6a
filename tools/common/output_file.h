// The output file both programs write (a pitch file, a picture), safe and durable: no partial
// file is ever seen at its name, no temporary file is left behind, not even by a signal that ends
// the program, and a link or FIFO another user planted in a shared folder is never used.
#pragma once

#include <functional>
#include <string>

namespace pitchtrack {

// What writing an output came to: ok(), or the reason it failed, in the words the programs print
// after the output's name ("No space left on device", "no reader on the FIFO", ...).
struct [[nodiscard]] WriteResult {
  std::string reason;  // empty when the write succeeded
  bool ok() const { return reason.empty(); }
};

// To be called once at the start of a program that writes output files: ignores SIGXFSZ (a write
// past the file size limit then fails with "File too large" instead of killing the process) and
// installs a handler for SIGINT, SIGTERM and SIGHUP that removes the temporary files being
// written before the signal ends the process, except for the signals the process inherited as
// ignored (nohup, background jobs).
void protectOutputFiles();

// True once one of those signals is ending the process: no output file is created any more (a
// write then fails with "interrupted by a signal"), so there is no point in starting new work.
bool outputFilesStopped();

// Writes `text` to `path` so that no partial file is ever left behind.
//
// A regular file, a name not taken yet, or the file a symbolic link leads to (the links followed
// one by one, so a link stays a link) is written to a temporary file in its own folder, flushed to
// the disk and renamed into place, and the folder is flushed after the rename: a crash leaves the
// old file or the new one, complete. The temporary file gets an existing file's permission bits
// (without set-user-ID, set-group-ID and sticky) before its first byte; a new file follows the
// umask. A FIFO or a device is written in place, and a FIFO with no reader is an error rather than
// a wait. When the path leads to this process's standard output (/dev/stdout, a link to it), the
// text goes through the stdout stream, after everything printed before it.
//
// In a shared folder (world-writable and sticky, like /tmp) a symbolic link or FIFO is used only
// when it belongs to the user running the program or to the folder's owner, whether or not the
// kernel's own protections are enabled.
WriteResult writeOutputFile(const std::string& path, const std::string& text);

// For the tests of the signal handler: creates the temporary file an output in `folder` would be
// written to, registered for removal, calls `whileItExists` with its name, then removes it.
WriteResult withTemporaryFile(const std::string& folder,
                              const std::function<void(const std::string& name)>& whileItExists);

}  // namespace pitchtrack
