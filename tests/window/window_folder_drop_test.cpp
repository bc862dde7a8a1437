// Dropping on the main window: a folder (or a file's folder) is chosen as
// in the folder browser; anything else, and any drop during a run, changes
// nothing.
#include <QAction>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QtTest>

#include "FileListBox.h"
#include "PathText.h"
#include "WindowTestSupport.h"
#include "fmain.h"

namespace {

// Drags data onto target and drops it; whether the drop was taken.
bool Drop(QWidget* target, const QMimeData& data) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  // A move would let the file manager take the folder away.
  if (enter.isAccepted() && enter.dropAction() != Qt::CopyAction) return false;
  QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  if (enter.isAccepted() != drop.isAccepted()) qFatal("the drag and the drop were judged apart");
  return drop.isAccepted();
}

}  // namespace

class WindowFolderDropTest : public QObject {
  Q_OBJECT
  PrivateHome home_;
  const QString folder_ = home_.NewFolder(QStringLiteral("drop"));

 private slots:
  void initTestCase();
  void dropChoosesTheFolder_data();
  void dropChoosesTheFolder();
  void dropDuringARunIsRefused();
};

void WindowFolderDropTest::initTestCase() {
  WriteLines(folder_ + QStringLiteral("/a.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  WriteLines(folder_ + QStringLiteral("/b.txt"), {RecordLine(2, "K2", "書名", "ショメイ")});
}

void WindowFolderDropTest::dropChoosesTheFolder_data() {
  QTest::addColumn<QString>("target");  // object name; empty for the window
  QTest::addColumn<QList<QUrl>>("urls");
  QTest::addColumn<bool>("taken");
  const QUrl folder = QUrl::fromLocalFile(folder_);
  const QUrl remote(QStringLiteral("sftp://host") + folder_);
  const struct {
    const char* name;
    QList<QUrl> urls;
    bool taken;
  } cases[] = {
      {"folder, then another", {folder, QUrl::fromLocalFile(QDir::tempPath())}, true},
      {"file: its folder", {QUrl::fromLocalFile(folder_ + QStringLiteral("/a.txt"))}, true},
      {"remote, then a folder", {remote, folder}, true},
      {"remote only", {remote}, false},
      {"missing entry", {QUrl::fromLocalFile(folder_ + QStringLiteral("/無い"))}, false},
      {"no entries", {}, false}};
  for (const QString& target :
       {QString(), QStringLiteral("edtSrcFolder"), QStringLiteral("Memo1")}) {
    for (const auto& c : cases) {
      const QString row = (target.isEmpty() ? QStringLiteral("window") : target) +
                          QStringLiteral(": ") + QLatin1String(c.name);
      QTest::newRow(qPrintable(row)) << target << c.urls << c.taken;
    }
  }
}

void WindowFolderDropTest::dropChoosesTheFolder() {
  QFETCH(QString, target);
  QFETCH(QList<QUrl>, urls);
  QFETCH(bool, taken);
  TfmMain window;
  BoxRecorder boxes(window);
  QWidget* widget = target.isEmpty() ? &window : window.findChild<QWidget*>(target);
  QVERIFY(widget != nullptr);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) widget = memo->viewport();
  const QString before = window.ui.edtSrcFolder->text();

  QMimeData text;
  text.setText(folder_);
  QVERIFY(!Drop(widget, text));
  QMimeData dropped;
  dropped.setUrls(urls);
  QCOMPARE(Drop(widget, dropped), taken);
  if (!taken) {
    QCOMPARE(window.ui.edtSrcFolder->text(), before);
    QVERIFY(window.ChosenFolder().empty());
    QVERIFY(!window.ui.actConvStart->isEnabled());
    return;
  }
  // As if confirmed in the folder browser.
  QCOMPARE(window.ui.edtSrcFolder->text(), folder_);
  QCOMPARE(ToQString(window.ChosenFolder()), folder_);
  QCOMPARE(window.ui.JvFileListBox1->Names(), QStringList({"a.txt", "b.txt"}));
  QVERIFY(boxes.boxes.isEmpty());
  QVERIFY(RunToEnd(window));
  QVERIFY(QFile::exists(folder_ + QStringLiteral("/処理後/取込用.txt")));
}

void WindowFolderDropTest::dropDuringARunIsRefused() {
  const QString running = home_.NewFolder(QStringLiteral("running"));
  CopyFolder(QStringLiteral(TEXTCNV_SAMPLES_DIR), running);
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, running);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(folder_)});
  bool tried = false;
  boxes.onBox = [&](const RecordedBox&) {
    tried = window.IsWorking();
    QVERIFY(!Drop(window.ui.edtSrcFolder, data));
    QVERIFY(!Drop(&window, data));
  };
  QVERIFY(RunToEnd(window));
  QVERIFY(tried);
  QCOMPARE(ToQString(window.ChosenFolder()), running);
  // Once the run has ended, the same drop is taken.
  boxes.onBox = nullptr;
  QVERIFY(Drop(window.ui.edtSrcFolder, data));
  QCOMPARE(ToQString(window.ChosenFolder()), folder_);
}

QTEST_MAIN(WindowFolderDropTest)
#include "window_folder_drop_test.moc"
