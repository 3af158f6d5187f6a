#include "output_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

namespace pitchtrack {

namespace {

// A registered temporary file: written by one writer thread, read by the signal handler once
// `state` says it is complete.
struct Slot {
  std::atomic<int> state{0};
  int folder = -1;
  char name[64] = {};
};

constexpr int kFree = 0;
constexpr int kFilling = 1;
constexpr int kRegistered = 2;

// Enough for one write per thread of the widest corpus run (-j 1024).
std::array<Slot, 1024> slots;

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

// Only async-signal-safe calls: unlinkat, then the default action (SA_RESETHAND restored it;
// the signal stays blocked until the handler returns and then ends the process).
void removeTemporaries(int signal) {
  for (Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kRegistered) {
      ::unlinkat(slot.folder, slot.name, 0);
    }
  }
  std::raise(signal);
}

void installRemover(int signal) {
  struct sigaction current {};
  if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction remover {};
  remover.sa_handler = removeTemporaries;
  remover.sa_flags = SA_RESETHAND;
  sigfillset(&remover.sa_mask);
  ::sigaction(signal, &remover, nullptr);
}

}  // namespace

void protectOutputFiles() {
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) installRemover(signal);
}

int registerTemporary(int folder, const char* name) {
  if (std::strlen(name) >= sizeof slots[0].name) return -1;
  for (size_t i = 0; i < slots.size(); ++i) {
    int expected = kFree;
    if (slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      slots[i].folder = folder;
      std::strcpy(slots[i].name, name);
      slots[i].state.store(kRegistered, std::memory_order_release);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void forgetTemporary(int slot) {
  if (slot >= 0) slots[static_cast<size_t>(slot)].state.store(kFree, std::memory_order_release);
}

}  // namespace pitchtrack
