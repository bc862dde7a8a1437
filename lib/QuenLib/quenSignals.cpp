// The temporary files a termination must remove, the same on every platform;
// InstallSignalHandling is in quenSignalsPosix.cpp and quenSignalsWin32.cpp.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "quenFileInternal.h"
#include "quenOs.h"
#include "quenSignals.h"

namespace quenFile {
namespace {

// The signal handler may only read plain memory and call async-signal-safe
// functions, so the open temporary files live in fixed slots that change
// hands by atomic state alone: no lock, no allocation.
enum SlotState : int { kFree, kFilling, kReady, kTaken };

struct Slot {
  std::atomic<int> state{kFree};
  int dirFd = AT_FDCWD;
  char name[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);

// A run has one writer open at a time; a few more leave room for front ends.
constexpr int kSlots = 16;
Slot slots[kSlots];

std::atomic<TerminationNotice> notice{nullptr};
static_assert(std::atomic<TerminationNotice>::is_always_lock_free);

}  // namespace

void SetTerminationNotice(TerminationNotice text) { notice.store(text); }

namespace internal {

const char* TerminationNoticeText() {
  const TerminationNotice text = notice.load();
  return text != nullptr ? text() : nullptr;
}

void RemoveRememberedTemporaries(void (*remove)(int dirFd, const char* name)) {
  for (Slot& slot : slots) {
    int ready = kReady;
    // Taken for good: the process ends next, so the slot is never reused.
    if (slot.state.compare_exchange_strong(ready, kTaken)) remove(slot.dirFd, slot.name);
  }
}

int RememberTemporary(int dirFd, const char* name) {
  const std::size_t length = std::strlen(name);
  if (length >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    slots[i].dirFd = dirFd;
    std::memcpy(slots[i].name, name, length + 1);
    slots[i].state.store(kReady);
    return i;
  }
  return -1;
}

void ForgetTemporary(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  int expected = kReady;
  // A handler on another thread that took the slot ends the process soon.
  while (!slots[slot].state.compare_exchange_weak(expected, kFree)) {
    expected = kReady;
    std::this_thread::yield();
  }
}

}  // namespace internal
}  // namespace quenFile
