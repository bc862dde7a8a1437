#include "EditActions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>

#include "NewAction.h"

namespace {

bool ClipboardHasText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr && data->hasText();
}

bool HasSelection(const QWidget* w) {
  if (auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->hasSelectedText();
  if (auto* memo = qobject_cast<const QPlainTextEdit*>(w)) return memo->textCursor().hasSelection();
  return false;
}

bool IsEmpty(const QWidget* w) {
  if (auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->text().isEmpty();
  if (auto* memo = qobject_cast<const QPlainTextEdit*>(w)) return memo->document()->isEmpty();
  return true;
}

bool IsReadOnly(const QWidget* w) {
  if (auto* edit = qobject_cast<const QLineEdit*>(w)) return edit->isReadOnly();
  if (auto* memo = qobject_cast<const QPlainTextEdit*>(w)) return memo->isReadOnly();
  return true;
}

// Runs the edit's own routine on whichever kind of edit target is.
template <typename EditRoutine, typename MemoRoutine>
void OnTarget(QWidget* target, EditRoutine onEdit, MemoRoutine onMemo) {
  if (auto* edit = qobject_cast<QLineEdit*>(target)) (edit->*onEdit)();
  if (auto* memo = qobject_cast<QPlainTextEdit*>(target)) (memo->*onMemo)();
}

}  // namespace

TEditActions::TEditActions(QWidget* window, const QList<QWidget*>& targets)
    : QObject(window), targets_(targets) {
  EditCut1 = Add(window, "EditCut1", QStringLiteral("切り取り(&T)"), Qt::CTRL | Qt::Key_X);
  EditCopy1 = Add(window, "EditCopy1", QStringLiteral("コピー(&C)"), Qt::CTRL | Qt::Key_C);
  EditPaste1 = Add(window, "EditPaste1", QStringLiteral("貼り付け(&P)"), Qt::CTRL | Qt::Key_V);
  EditSelectAll1 =
      Add(window, "EditSelectAll1", QStringLiteral("すべてを選択(&A)"), Qt::CTRL | Qt::Key_A);
  connect(EditCut1, &QAction::triggered, this, &TEditActions::Cut);
  connect(EditCopy1, &QAction::triggered, this, &TEditActions::Copy);
  connect(EditPaste1, &QAction::triggered, this, &TEditActions::Paste);
  connect(EditSelectAll1, &QAction::triggered, this, &TEditActions::SelectAll);

  for (QWidget* target : targets_) {
    target->installEventFilter(this);
    if (auto* edit = qobject_cast<QLineEdit*>(target)) {
      connect(edit, &QLineEdit::selectionChanged, this, &TEditActions::UpdateEnabling);
      connect(edit, &QLineEdit::textChanged, this, &TEditActions::UpdateEnabling);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(target)) {
      connect(memo, &QPlainTextEdit::selectionChanged, this, &TEditActions::UpdateEnabling);
      connect(memo, &QPlainTextEdit::textChanged, this, &TEditActions::UpdateEnabling);
    }
  }
  connect(qApp, &QApplication::focusChanged, this, &TEditActions::UpdateEnabling);
  // Asking the clipboard may mean a round trip to whichever program owns
  // it, too slow for every log line: its answer is kept until it changes.
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
    clipboardHasText_ = ClipboardHasText();
    UpdateEnabling();
  });
  clipboardHasText_ = ClipboardHasText();
  UpdateEnabling();
}

QAction* TEditActions::Add(QWidget* window, const char* name, const QString& caption,
                           QKeyCombination key) {
  // Owned here, so no signal can reach this object after its actions are gone.
  QAction* action = NewAction(this, window, name, caption, QKeySequence(key));
  action->setProperty("category", QStringLiteral("編集"));
  return action;
}

QWidget* TEditActions::Target() const {
  QWidget* focus = QApplication::focusWidget();
  return targets_.contains(focus) ? focus : nullptr;
}

void TEditActions::UpdateEnabling() {
  const QWidget* target = Target();
  const bool selected = target != nullptr && HasSelection(target);
  EditCut1->setEnabled(selected);
  EditCopy1->setEnabled(selected);
  EditPaste1->setEnabled(target != nullptr && clipboardHasText_);
  EditSelectAll1->setEnabled(target != nullptr && !IsEmpty(target));
}

bool TEditActions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    for (const QAction* action : {EditCut1, EditCopy1, EditPaste1, EditSelectAll1}) {
      if (QKeySequence(key->keyCombination()) == action->shortcut()) {
        event->ignore();
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

// A read-only target (or none) takes neither cut nor paste; IsReadOnly says
// so for both.
void TEditActions::Cut() {
  if (!IsReadOnly(Target())) OnTarget(Target(), &QLineEdit::cut, &QPlainTextEdit::cut);
}

void TEditActions::Copy() { OnTarget(Target(), &QLineEdit::copy, &QPlainTextEdit::copy); }

void TEditActions::Paste() {
  if (!IsReadOnly(Target())) OnTarget(Target(), &QLineEdit::paste, &QPlainTextEdit::paste);
}

void TEditActions::SelectAll() {
  OnTarget(Target(), &QLineEdit::selectAll, &QPlainTextEdit::selectAll);
}
