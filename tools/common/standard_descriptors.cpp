#include "standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

namespace pitchtrack {

void openClosedStandardDescriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (::fcntl(descriptor, F_GETFD) >= 0) continue;
    // The lowest free number is the closed one; anything else is given back.
    const int opened = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != descriptor) ::close(opened);
  }
}

}  // namespace pitchtrack
