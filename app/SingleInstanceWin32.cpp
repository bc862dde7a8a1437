#include "SingleInstance.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include "InstanceTrace.h"

namespace {

// The value of the window property that marks the running instance's window.
const HANDLE kInstanceMarker = reinterpret_cast<HANDLE>(INT_PTR{1234});

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct Search {
  const wchar_t* name;
  bool found;
};

BOOL CALLBACK ActivateWindowProc(HWND window, LPARAM parameter) {
  Search& search = *reinterpret_cast<Search*>(parameter);
  if (GetPropW(window, search.name) != kInstanceMarker) return TRUE;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  // An open box or folder browser is what the operator has to answer: it
  // comes to the front, never the window it disables.
  SetForegroundWindow(GetLastActivePopup(window));
  search.found = true;
  return FALSE;
}

// For the start-up tests: the running instance cannot tell that a later
// start raised it, only that its window came back from the taskbar and
// became the active one.
class TActivationTrace : public QObject {
 public:
  explicit TActivationTrace(QWidget& window) : QObject(&window) { window.installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowActivate) qCDebug(lcInstance) << "active";
    if (event->type() == QEvent::WindowStateChange) {
      const auto* change = static_cast<QWindowStateChangeEvent*>(event);
      const bool was = change->oldState().testFlag(Qt::WindowMinimized);
      const bool is = static_cast<QWidget*>(watched)->isMinimized();
      if (was != is) qCDebug(lcInstance).nospace() << "minimized=" << int(was) << "->" << int(is);
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

struct TSingleInstance::Platform {
  std::wstring name;
  // Held until the process ends: while it is there, a later start ends.
  UniqueHandle mutex;
};

TSingleInstance::TSingleInstance(const QString& name, QObject* parent)
    : QObject(parent), platform_(std::make_unique<Platform>(Platform{name.toStdWString(), {}})) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim() {
  SetLastError(ERROR_SUCCESS);
  HANDLE mutex = CreateMutexW(nullptr, TRUE, platform_->name.c_str());
  const DWORD error = GetLastError();
  platform_->mutex.reset(mutex);
  // Only a mutex that was already there means another instance: a mutex
  // that cannot be made at all guards nothing, and refusing to start over
  // it would be worse.
  return error != ERROR_ALREADY_EXISTS;
}

bool TSingleInstance::ActivateRunning(int timeoutMs) {
  // A running instance still starting has no marked window yet; one that
  // never marks one (or is closing) leaves nothing to come forward.
  const QDeadlineTimer deadline(timeoutMs);
  Search search{platform_->name.c_str(), false};
  for (;;) {
    EnumWindows(ActivateWindowProc, reinterpret_cast<LPARAM>(&search));
    if (search.found || deadline.hasExpired()) break;
    QThread::msleep(100);
  }
  if (search.found) qCDebug(lcInstance) << "brought forward";
  return search.found;
}

TWindowMark TSingleInstance::MarkWindow(QWidget& window) {
  const HWND handle = reinterpret_cast<HWND>(window.winId());
  if (SetPropW(handle, platform_->name.c_str(), kInstanceMarker) == 0) return TWindowMark();
  if (lcInstance().isDebugEnabled()) new TActivationTrace(window);
  // A property must be gone before its window is destroyed.
  return TWindowMark([handle, name = platform_->name] { RemovePropW(handle, name.c_str()); });
}
