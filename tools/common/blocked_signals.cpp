#include "blocked_signals.h"

#include <pthread.h>

#include <initializer_list>

namespace pitchtrack {

SignalsBlocked::SignalsBlocked() {
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, signal);
  ::pthread_sigmask(SIG_BLOCK, &ending, &previous_);
}

SignalsBlocked::~SignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace pitchtrack
