// The rules of shared folders (world-writable and sticky, like /tmp), where another user can
// plant a symbolic link or a FIFO at the name an output is about to be written to. They are the
// kernel's protected_symlinks and protected_fifos rules, applied here whether or not the system
// enables them: an entry of such a folder is trusted only when it belongs to the user running
// the tool (the effective user) or to the folder's owner.
#pragma once

#include <sys/types.h>

#include <string>

namespace pitchtrack {

// True when the folder holding `entry` is world-writable and sticky and `owner` is neither the
// effective user nor the folder's owner: a link there is not followed, a FIFO not opened.
bool plantedByAnotherUser(const std::string& entry, uid_t owner);

}  // namespace pitchtrack
