// Signals around the writing of output files.
//
// A temporary file exists between its creation beside an output and the rename that puts it in
// place; when SIGINT, SIGTERM or SIGHUP ends the process in that window, the handler installed
// by protectOutputFiles() removes it first. The registry is a fixed table filled with atomics,
// so the handler reads it without locks; a write that finds the table full goes unregistered.
#pragma once

namespace pitchtrack {

// To be called once at the start of a program that writes output files: ignores SIGXFSZ (a write
// past the file size limit then fails with "File too large" instead of killing the process) and
// installs the removing handler for SIGINT, SIGTERM and SIGHUP, except for those the process
// inherited as ignored (nohup, background jobs).
void protectOutputFiles();

// Registers the temporary file `name` in the folder open as `folder`; returns the slot to pass to
// forgetTemporary, or -1 when the table is full.
int registerTemporary(int folder, const char* name);

// Drops a registration once its file has been renamed or removed (a slot of -1 is ignored).
void forgetTemporary(int slot);

}  // namespace pitchtrack
