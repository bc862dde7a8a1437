// How a POSIX process meets signals (quenSignals.h).
#include <signal.h>

#include <cstring>

#include "quenFileInternal.h"
#include "quenOs.h"
#include "quenSignals.h"

namespace quenFile {
namespace {

constexpr int kTerminating[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

// unlinkat is async-signal-safe; the seam's calls may not be.
void Unlink(int dirFd, const char* name) { ::unlinkat(dirFd, name, 0); }

void RemoveTemporariesAndDie(int sig) {
  internal::RemoveRememberedTemporaries(Unlink);
  if (const char* text = internal::TerminationNoticeText()) {
    for (std::size_t left = std::strlen(text); left > 0;) {
      const ssize_t n = ::write(STDERR_FILENO, text, left);
      if (n <= 0) break;
      text += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  // The signal stays blocked until the handler returns; then the default
  // action ends the process, and its parent sees the signal.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

void InstallSignalHandling() {
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = RemoveTemporariesAndDie;
  sigemptyset(&action.sa_mask);
  for (int sig : kTerminating) sigaddset(&action.sa_mask, sig);
  for (int sig : kTerminating) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &action, nullptr);
  }
}

}  // namespace quenFile
