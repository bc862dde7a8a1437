// TEditActions: the standard edit actions (category "編集") of a window:
// cut, copy, paste and select all. They are on no menu or button and act only
// through their shortcuts, on whichever of the target edits has the focus.
//
// Enabled: cut and copy while the focused target has selected text, paste
// while the clipboard holds text, select all while the target is not empty.
// On a read-only target cut and paste change nothing, as such edits refuse
// to be changed.
#pragma once

#include <QKeyCombination>
#include <QList>
#include <QObject>

class QAction;
class QWidget;

class TEditActions : public QObject {
  Q_OBJECT
 public:
  TEditActions(QWidget* window, const QList<QWidget*>& targets);

  QAction* EditCut1;
  QAction* EditCopy1;
  QAction* EditPaste1;
  QAction* EditSelectAll1;

  // The target that has the focus, or null.
  QWidget* Target() const;
  void UpdateEnabling();

 protected:
  // The edits would take these shortcuts for themselves; they are left to
  // the actions, so that the enabling above decides.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* Add(QWidget* window, const char* name, const QString& caption, QKeyCombination key);
  void Cut();
  void Copy();
  void Paste();
  void SelectAll();

  QList<QWidget*> targets_;
  bool clipboardHasText_ = false;
};
