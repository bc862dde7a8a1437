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
  // How a box asked for on another thread is handed to the GUI thread; by
  // default a queued call. The window hands it on behind the run's log lines.
  using Poster = std::function<void(std::function<void()>)>;
  void SetPoster(Poster poster) { poster_ = std::move(poster); }
  // While closing, boxes are answered with OK without being shown, so a
  // worker that is still running cannot wait for a window that is gone.
  void SetClosing(bool closing) { closing_ = closing; }

 private:
  int ShowHere(const MessageBoxRequest& box);

  Shower shower_;
  Poster poster_;
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
