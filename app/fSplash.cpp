#include "fSplash.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include "AppFonts.h"

TfmSplash::TfmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("fmSplash"));
  setFixedSize(356, 180);
  setFont(PGothicFont(12));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);

  lblProcess = new QLabel(this);
  lblProcess->setObjectName(QStringLiteral("lblProcess"));
  lblProcess->move(32, 146);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TfmSplash::ShowNow() {
  lblProcess->adjustSize();
  show();
  repaint();
  // Paint and expose events only: no input is taken before the main window
  // exists.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfmSplash::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  QPen pen(Qt::black, 2);
  pen.setJoinStyle(Qt::MiterJoin);  // square corners, as a frame has
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  // A 2-px pen is centred on the path: inset by 1 so both pixels are inside.
  painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}
