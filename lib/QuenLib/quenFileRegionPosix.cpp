// A FileRegion's memory on POSIX: anonymous pages reserved without
// committing swap, and a SIGBUS handler for the guarded ranges, installed
// while one exists and the previous one restored after the last.
#include <signal.h>
#include <sys/mman.h>

#include <atomic>
#include <mutex>

#include "quenFileRegionOs.h"

namespace quenFile::region {
namespace {

#if !defined(MAP_NORESERVE)
constexpr int MAP_NORESERVE = 0;
#endif

constexpr int kAnonymous = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;

struct Slot {
  std::atomic<char*> begin{nullptr};
  std::atomic<std::size_t> size{0};
  std::atomic<const char*> fault{nullptr};
};
constexpr int kSlots = 8;
Slot slots[kSlots];
std::atomic<std::size_t> pageSize{0};

std::mutex guardMutex;
int guarded = 0;
struct sigaction previous {};

// Only async-signal-safe calls here: mmap and sigaction are system calls.
void OnBus(int sig, siginfo_t* info, void* context) {
  char* const at = static_cast<char*>(info->si_addr);
  const std::size_t page = pageSize.load();
  for (Slot& slot : slots) {
    char* const begin = slot.begin.load();
    if (begin == nullptr || at < begin || at >= begin + slot.size.load()) continue;
    // The page the file lost reads as zeros from now on; the fault is
    // noted for whoever checks the range.
    char* const lost = begin + static_cast<std::size_t>(at - begin) / page * page;
    if (::mmap(lost, page, PROT_READ | PROT_WRITE, kAnonymous | MAP_FIXED, -1, 0) == MAP_FAILED) {
      break;
    }
    const char* none = nullptr;
    slot.fault.compare_exchange_strong(none, at);
    return;
  }
  // Not a guarded page: as it would have gone without the guard.
  if ((previous.sa_flags & SA_SIGINFO) != 0) {
    previous.sa_sigaction(sig, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(sig);
  } else {
    ::signal(sig, SIG_DFL);
    ::raise(sig);
  }
}

}  // namespace

std::size_t PageSize() {
  std::size_t page = pageSize.load();
  if (page == 0) {
    page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    pageSize.store(page);
  }
  return page;
}

char* Reserve(std::size_t bytes) {
  void* at = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, kAnonymous, -1, 0);
  return at == MAP_FAILED ? nullptr : static_cast<char*>(at);
}

void Release(char* at, std::size_t bytes) { ::munmap(at, bytes); }

bool MakeWritable(char* at, std::size_t bytes) {
  return ::mprotect(at, bytes, PROT_READ | PROT_WRITE) == 0;
}

bool Renew(char* at, std::size_t bytes) {
  return ::mmap(at, bytes, PROT_READ | PROT_WRITE, kAnonymous | MAP_FIXED, -1, 0) != MAP_FAILED;
}

void ReadIn(const char* at, std::size_t bytes) {
#if defined(MADV_POPULATE_READ)
  // Fails on a page the file lost (the read then takes the guard's zero
  // page) and on kernels before 5.14: either way the pages fault in as read.
  ::madvise(const_cast<char*>(at), bytes, MADV_POPULATE_READ);
#else
  (void)at;
  (void)bytes;
#endif
}

bool SameFile(const struct stat& a, const struct stat& b) {
#if defined(__APPLE__)
  const auto& am = a.st_mtimespec;
  const auto& bm = b.st_mtimespec;
  const auto& ac = a.st_ctimespec;
  const auto& bc = b.st_ctimespec;
#else
  const auto& am = a.st_mtim;
  const auto& bm = b.st_mtim;
  const auto& ac = a.st_ctim;
  const auto& bc = b.st_ctim;
#endif
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         am.tv_sec == bm.tv_sec && am.tv_nsec == bm.tv_nsec && ac.tv_sec == bc.tv_sec &&
         ac.tv_nsec == bc.tv_nsec;
}

int Guard(char* at, std::size_t bytes) {
  PageSize();
  std::lock_guard lock(guardMutex);
  for (int i = 0; i < kSlots; ++i) {
    if (slots[i].begin.load() != nullptr) continue;
    if (guarded == 0) {
      struct sigaction action {};
      action.sa_sigaction = OnBus;
      action.sa_flags = SA_SIGINFO;
      sigemptyset(&action.sa_mask);
      if (::sigaction(SIGBUS, &action, &previous) != 0) return -1;
    }
    ++guarded;
    slots[i].fault.store(nullptr);
    slots[i].size.store(bytes);
    slots[i].begin.store(at);
    return i;
  }
  return -1;
}

void Unguard(int slot) {
  if (slot < 0) return;
  std::lock_guard lock(guardMutex);
  slots[slot].begin.store(nullptr);
  if (--guarded == 0) ::sigaction(SIGBUS, &previous, nullptr);
}

const char* FaultAt(int slot) { return slot < 0 ? nullptr : slots[slot].fault.load(); }

}  // namespace quenFile::region
