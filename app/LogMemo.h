// TLogMemo: the run log pane. A plain text edit that draws its frame in the
// highlight colour while it has the keyboard focus, as the style does for
// line edits, so the operator sees where Ctrl+C and Ctrl+A will act.
#pragma once

#include <QPlainTextEdit>

class TLogMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void PaintFocusFrame();
};
