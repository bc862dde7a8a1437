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

enum class Payload { kFolder, kFile, kRemoteThenFolder, kRemote, kText, kMissing, kNothing };

std::unique_ptr<QMimeData> MimeOf(Payload payload, const QString& folder) {
  auto data = std::make_unique<QMimeData>();
  const QUrl local = QUrl::fromLocalFile(folder);
  switch (payload) {
    case Payload::kFolder:
      data->setUrls({local, QUrl::fromLocalFile(QDir::tempPath())});
      break;
    case Payload::kFile:
      data->setUrls({QUrl::fromLocalFile(folder + QStringLiteral("/a.txt"))});
      break;
    case Payload::kRemoteThenFolder:
      data->setUrls({QUrl(QStringLiteral("https://example.com/x/")), local});
      break;
    case Payload::kRemote:
      data->setUrls({QUrl(QStringLiteral("sftp://host") + folder)});
      break;
    case Payload::kText:
      data->setText(folder);
      break;
    case Payload::kMissing:
      data->setUrls({QUrl::fromLocalFile(folder + QStringLiteral("/無い"))});
      break;
    case Payload::kNothing:
      break;
  }
  return data;
}

// Drags data onto target and drops it; whether the drop was taken.
bool Drop(QWidget* target, const QMimeData* data) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  const bool entered = enter.isAccepted();
  // A move would let the file manager take the folder away.
  if (entered && enter.dropAction() != Qt::CopyAction) return false;
  QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  if (entered != drop.isAccepted()) qFatal("the drag and the drop were judged apart");
  return drop.isAccepted();
}

}  // namespace

class WindowFolderDropTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void dropChoosesTheFolder_data();
  void dropChoosesTheFolder();
  void dropDuringARunIsRefused();
};

void WindowFolderDropTest::dropChoosesTheFolder_data() {
  QTest::addColumn<QString>("target");  // object name; empty for the window
  QTest::addColumn<int>("payload");
  QTest::addColumn<bool>("taken");
  const struct {
    const char* name;
    Payload payload;
    bool taken;
  } cases[] = {{"folder", Payload::kFolder, true},
               {"file: its folder", Payload::kFile, true},
               {"remote, then a folder", Payload::kRemoteThenFolder, true},
               {"remote only", Payload::kRemote, false},
               {"plain text", Payload::kText, false},
               {"missing entry", Payload::kMissing, false},
               {"no data", Payload::kNothing, false}};
  for (const QString& target : {QString(), QStringLiteral("edtSrcFolder"), QStringLiteral("Memo1")}) {
    for (const auto& c : cases) {
      const QString row = (target.isEmpty() ? QStringLiteral("window") : target) +
                          QStringLiteral(": ") + QLatin1String(c.name);
      QTest::newRow(qPrintable(row)) << target << int(c.payload) << c.taken;
    }
  }
}

void WindowFolderDropTest::dropChoosesTheFolder() {
  QFETCH(QString, target);
  QFETCH(int, payload);
  QFETCH(bool, taken);
  const QString folder = home_.NewFolder(QStringLiteral("drop"));
  WriteLines(folder + QStringLiteral("/a.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  WriteLines(folder + QStringLiteral("/b.txt"), {RecordLine(2, "K2", "書名", "ショメイ")});
  TfmMain window;
  BoxRecorder boxes(window);
  QWidget* widget = target.isEmpty() ? &window : window.findChild<QWidget*>(target);
  QVERIFY(widget != nullptr);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(widget)) widget = memo->viewport();
  const QString before = window.edtSrcFolder->text();

  const std::unique_ptr<QMimeData> data = MimeOf(Payload(payload), folder);
  QCOMPARE(Drop(widget, data.get()), taken);
  if (!taken) {
    QCOMPARE(window.edtSrcFolder->text(), before);
    QVERIFY(window.ChosenFolder().empty());
    QVERIFY(!window.actConvStart->isEnabled());
    return;
  }
  // As if confirmed in the folder browser.
  QCOMPARE(window.edtSrcFolder->text(), folder);
  QCOMPARE(ToQString(window.ChosenFolder()), folder);
  QCOMPARE(window.JvFileListBox1->Names(), QStringList({"a.txt", "b.txt"}));
  QVERIFY(window.actConvStart->isEnabled());
  QVERIFY(boxes.boxes.isEmpty());
  QVERIFY(RunToEnd(window));
  QVERIFY(QFile::exists(folder + QStringLiteral("/処理後/取込用.txt")));
}

void WindowFolderDropTest::dropDuringARunIsRefused() {
  const QString folder = home_.NewFolder(QStringLiteral("running"));
  const QString other = home_.NewFolder(QStringLiteral("other"));
  CopyFolder(QStringLiteral(TEXTCNV_SAMPLES_DIR), folder);
  WriteLines(other + QStringLiteral("/a.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  const std::unique_ptr<QMimeData> data = MimeOf(Payload::kFolder, other);
  bool tried = false;
  boxes.onBox = [&](const RecordedBox&) {
    tried = window.IsWorking();
    QVERIFY(!Drop(window.edtSrcFolder, data.get()));
    QVERIFY(!Drop(&window, data.get()));
  };
  QVERIFY(RunToEnd(window));
  QVERIFY(tried);
  QCOMPARE(ToQString(window.ChosenFolder()), folder);
  QCOMPARE(window.edtSrcFolder->text(), folder);
  // Once the run has ended, the same drop is taken.
  boxes.onBox = nullptr;
  QVERIFY(Drop(window.edtSrcFolder, data.get()));
  QCOMPARE(ToQString(window.ChosenFolder()), other);
}

QTEST_MAIN(WindowFolderDropTest)
#include "window_folder_drop_test.moc"
