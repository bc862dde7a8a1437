// TfmSplash: the small frameless window shown while the main window is
// being built.
#pragma once

#include <QWidget>

class QLabel;

class TfmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit TfmSplash(QWidget* parent = nullptr);

  // Shows the window and paints it at once, without waiting for the event
  // loop or the window manager, so it is seen while the caller keeps busy.
  void ShowNow();

  QLabel* lblProcess;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
