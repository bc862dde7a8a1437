// What happens to a failure that reaches the top: its message is shown in the
// application's error box (ShowException) and the program goes on.
#pragma once

#include <exception>
#include <utility>

#include <QApplication>

// Shows the exception in flight; call only inside a catch block.
void ShowCurrentException();

// Runs a handler, showing whatever it throws.
template <typename Handler>
void ShowFailures(Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (...) {
    ShowCurrentException();
  }
}

// The application object of the program: no exception leaves an event
// handler for Qt, which cannot carry one through its event loop.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};
