// How a Windows console process meets its ends (quenSignals.h): there are no
// SIGPIPE or SIGXFSZ to ignore (a closed pipe is a write error already), and
// Ctrl+C, Ctrl+Break and closing the console reach a handler on a thread of
// its own, which removes the temporary files before the process ends.
#include <windows.h>

#include <cstring>

#include "quenFileInternal.h"
#include "quenSignals.h"

namespace quenFile {
namespace {

void Unlink(int dirFd, const char* name) { System().UnlinkAt(dirFd, name, 0); }

BOOL WINAPI RemoveTemporariesAndEnd(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      internal::RemoveRememberedTemporaries(Unlink);
      if (const char* text = internal::TerminationNoticeText()) {
        DWORD written = 0;
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)),
                    &written, nullptr);
      }
      break;
    default:
      break;
  }
  return FALSE;  // the default handler ends the process
}

}  // namespace

void InstallSignalHandling() { ::SetConsoleCtrlHandler(RemoveTemporariesAndEnd, TRUE); }

}  // namespace quenFile
