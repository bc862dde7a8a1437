#include "LogMemo.h"

#include <algorithm>

#include <QPainter>

bool TLogMemo::event(QEvent* event) {
  // The frame is painted here, not in paintEvent (which paints the text).
  const bool handled = QPlainTextEdit::event(event);
  if (event->type() == QEvent::Paint && hasFocus()) PaintFocusFrame();
  return handled;
}

void TLogMemo::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  update();
}

void TLogMemo::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  update();
}

void TLogMemo::PaintFocusFrame() {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Highlight));
  painter.setBrush(Qt::NoBrush);
  // Over the frame only: the text and scroll bars are left as they are.
  const int width = std::clamp(frameWidth(), 1, 2);
  for (int inset = 0; inset < width; ++inset) {
    painter.drawRect(rect().adjusted(inset, inset, -1 - inset, -1 - inset));
  }
}
