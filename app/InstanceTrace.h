// The single-instance guard's trace, for the start-up tests: off unless
// switched on through Qt's own logging rules,
//   QT_LOGGING_RULES=textcnv.instance.debug=true
// (on Windows also QT_FORCE_STDERR_LOGGING=1, or Qt hands it to the debugger
// rather than to standard error). Each line reads "textcnv.instance: WHAT":
//   "listening" once this process is the running instance, its window up;
//   "activated minimized=A->B" and "front=NAME" whenever a later start
//   brought it forward, NAME being the window brought to the front (its
//   object name, else its class).
//   On Windows a later start raises the window itself, so the running
//   instance says instead "minimized=A->B" when its window is minimised or
//   restored and "active" when it becomes the active window; the later start
//   says "brought forward" when it found the window.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcInstance)
