// The standard edit actions: when each is enabled, and that their shortcuts
// act on the focused edit.
#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "EditActions.h"
#include "WindowTestSupport.h"
#include "fmain.h"

class WindowEditActionsTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void init();
  void enablingFollowsFocusSelectionAndClipboard_data();
  void enablingFollowsFocusSelectionAndClipboard();
  void shortcutsActOnTheFocusedEdit_data();
  void shortcutsActOnTheFocusedEdit();
};

void WindowEditActionsTest::init() { QGuiApplication::clipboard()->clear(); }

void WindowEditActionsTest::enablingFollowsFocusSelectionAndClipboard_data() {
  QTest::addColumn<QString>("focus");
  QTest::addColumn<bool>("hasText");
  QTest::addColumn<bool>("selected");
  QTest::addColumn<bool>("clipboard");
  QTest::addColumn<bool>("cut");  // cut and copy
  QTest::addColumn<bool>("paste");
  QTest::addColumn<bool>("selectAll");
  // clang-format off
  QTest::newRow("edit, nothing selected")  << "edtSrcFolder" << true  << false << false << false << false << true;
  QTest::newRow("edit, selected")          << "edtSrcFolder" << true  << true  << false << true  << false << true;
  QTest::newRow("edit, clipboard text")    << "edtSrcFolder" << true  << false << true  << false << true  << true;
  QTest::newRow("empty edit")              << "edtSrcFolder" << false << false << false << false << false << false;
  QTest::newRow("log, selected")           << "Memo1"        << true  << true  << true  << true  << true  << true;
  QTest::newRow("empty log")               << "Memo1"        << false << false << true  << false << true  << false;
  QTest::newRow("button has the focus")    << "btnSrcOpen"   << true  << true  << true  << false << false << false;
  // clang-format on
}

void WindowEditActionsTest::enablingFollowsFocusSelectionAndClipboard() {
  QFETCH(QString, focus);
  QFETCH(bool, hasText);
  QFETCH(bool, selected);
  QFETCH(bool, clipboard);
  QFETCH(bool, cut);
  QFETCH(bool, paste);
  QFETCH(bool, selectAll);
  TfmMain window;
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  if (!hasText) window.ui.edtSrcFolder->clear();
  if (hasText) window.ui.Memo1->setPlainText(QStringLiteral("開始　ファイルチェック\n [○]a.txt"));
  if (selected) {
    window.ui.edtSrcFolder->selectAll();
    window.ui.Memo1->selectAll();
  }
  if (clipboard) QGuiApplication::clipboard()->setText(QStringLiteral("貼る"));
  window.findChild<QWidget*>(focus)->setFocus();
  QCOMPARE(QApplication::focusWidget()->objectName(), focus);

  const TEditActions& edit = *window.EditActions;
  QCOMPARE(edit.EditCut1->isEnabled(), cut);
  QCOMPARE(edit.EditCopy1->isEnabled(), cut);
  QCOMPARE(edit.EditPaste1->isEnabled(), paste);
  QCOMPARE(edit.EditSelectAll1->isEnabled(), selectAll);
}

void WindowEditActionsTest::shortcutsActOnTheFocusedEdit_data() {
  QTest::addColumn<QString>("focus");
  QTest::newRow("edit") << QStringLiteral("edtSrcFolder");
  QTest::newRow("log") << QStringLiteral("Memo1");
}

void WindowEditActionsTest::shortcutsActOnTheFocusedEdit() {
  QFETCH(QString, focus);
  TfmMain window;
  window.ui.Memo1->setPlainText(QStringLiteral("一行目\n二行目"));
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QWidget* target = window.findChild<QWidget*>(focus);
  target->setFocus();
  const auto text = [&] {
    if (auto* edit = qobject_cast<QLineEdit*>(target)) return edit->text();
    return window.ui.Memo1->toPlainText();
  };
  const auto selection = [&] {
    if (auto* edit = qobject_cast<QLineEdit*>(target)) return edit->selectedText();
    return window.ui.Memo1->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
  };
  const QString before = text();
  QVERIFY(!before.isEmpty());
  const TEditActions& edit = *window.EditActions;

  QSignalSpy selectAll(edit.EditSelectAll1, &QAction::triggered);
  QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(selectAll.count(), 1);
  QCOMPARE(selection(), before);

  QSignalSpy copy(edit.EditCopy1, &QAction::triggered);
  QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(copy.count(), 1);
  QCOMPARE(QGuiApplication::clipboard()->text(), before);

  // Both edits are read-only: cut copies nothing away, paste adds nothing.
  QGuiApplication::clipboard()->setText(QStringLiteral("貼る"));
  QSignalSpy cut(edit.EditCut1, &QAction::triggered);
  QSignalSpy paste(edit.EditPaste1, &QAction::triggered);
  QTest::keyClick(target, Qt::Key_X, Qt::ControlModifier);
  QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(cut.count(), 1);
  QCOMPARE(paste.count(), 1);
  QCOMPARE(text(), before);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("貼る"));
}

QTEST_MAIN(WindowEditActionsTest)
#include "window_edit_actions_test.moc"
