// Keeps the signals that end a program writing output files (SIGINT, SIGTERM, SIGHUP) from
// being handled in the calling thread while the object lives; threads started meanwhile inherit
// the block for their whole life.
#pragma once

#include <signal.h>

namespace pitchtrack {

class SignalsBlocked {
 public:
  SignalsBlocked();
  ~SignalsBlocked();
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;

 private:
  sigset_t previous_{};
};

}  // namespace pitchtrack
