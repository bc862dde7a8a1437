// TBoxPresenter: shows MBox boxes as Qt message boxes on the GUI thread.
//
// The conversion run calls MBox from its worker thread; a widget may only be
// shown on the GUI thread, so such calls are handed over and the worker waits
// for the button. The shower that draws the box can be replaced (tests record
// boxes instead of showing them).
#pragma once

#include <atomic>
#include <functional>

#include <QMessageBox>
#include <QObject>

#include "MBox.h"

class QWidget;

class TBoxPresenter : public QObject, public MessagePresenter {
  Q_OBJECT
 public:
  using Shower = std::function<int(const MessageBoxRequest&)>;

  // Boxes are shown with ShowMessageBox over boxParent (may be null). The
  // presenter must be created on the GUI thread.
  explicit TBoxPresenter(QWidget* boxParent);

  int Present(const MessageBoxRequest& box) override;

  void SetShower(Shower shower) { shower_ = std::move(shower); }
  // While closing, boxes are answered with OK without being shown, so a
  // worker that is still running cannot wait for a window that is gone.
  void SetClosing(bool closing) { closing_ = closing; }

 signals:
  // Emitted on the asking thread just before a box asked for there is
  // handed to the GUI thread: connected directly, what that thread still
  // has to show goes first (the run's log lines).
  void handingOver();

 private:
  int ShowHere(const MessageBoxRequest& box);

  Shower shower_;
  std::atomic<bool> closing_ = false;
};

// The icon of the classic flags (stop, question, warning, information).
QMessageBox::Icon IconOf(unsigned flags);
// A modal box with one OK button (and 「コピー」 when the request has a text
// to copy); it shows the request's UTF-8 text, CR LF breaks lines. The box
// is as wide as its lines, up to two thirds of the screen, and wide enough
// for its caption; longer lines break after 、 。 or a space. Its text can
// be selected and copied with the mouse or the keyboard.
int ShowMessageBox(QWidget* parent, const MessageBoxRequest& box);
