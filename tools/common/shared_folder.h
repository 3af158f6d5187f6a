// The rules of shared folders (world-writable and sticky, like /tmp), where another user can
// plant a symbolic link or a FIFO at the name an output is about to be written to. They are the
// kernel's protected_symlinks and protected_fifos rules, applied here whether or not the system
// enables them: an entry of such a folder is trusted only when it belongs to the user running
// the tool (the effective user) or to the folder's owner.
#pragma once

#include <sys/types.h>

namespace pitchtrack {

// True when the folder open as `folder` is world-writable and sticky and `owner` (the owner of an
// entry in it) is neither the effective user nor the folder's owner: a link there is not
// followed, a FIFO not opened.
bool plantedByAnotherUser(int folder, uid_t owner);

}  // namespace pitchtrack
