// Choosing the folder: what the window shows at start, after a folder is
// confirmed, for an empty folder and when the browser is cancelled.
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "FileListBox.h"
#include "FolderBrowser.h"
#include "PathText.h"
#include "WindowTestSupport.h"
#include "fmain.h"

namespace {

const QString kNoFiles = QStringLiteral("指定したフォルダーにはファイルがありません");

}  // namespace

class WindowFolderTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void initTestCase();
  void startShowsTheDesktopButCannotConvertIt();
  void confirmingAFolderListsItsFilesAndEnablesTheStart();
  void anEmptyFolderSaysSoAndKeepsTheStartDisabled();
  void cancellingChangesNothingAlsoForTheNextRun();
  void onlyVisibleFilesAreListed_data();
  void onlyVisibleFilesAreListed();
  void browserIsSetUpAsAFolderChooser();
  void browserStartsAtTheDesktopThenAtTheLastFolder();
};

void WindowFolderTest::initTestCase() {
  WriteBytes(home_.Desktop() + QStringLiteral("/メモ.txt"), "memo");
  WriteBytes(home_.Desktop() + QStringLiteral("/b.txt"), "b");
  WriteBytes(home_.Desktop() + QStringLiteral("/.hidden"), "h");
  QDir().mkpath(home_.Desktop() + QStringLiteral("/folder"));
}

void WindowFolderTest::startShowsTheDesktopButCannotConvertIt() {
  TfmMain window;
  BoxRecorder boxes(window);
  QCOMPARE(window.edtSrcFolder->text(), home_.Desktop());
  QCOMPARE(window.JvFileListBox1->Names(), QStringList({"b.txt", "メモ.txt"}));
  QVERIFY(!window.actConvStart->isEnabled());
  QVERIFY(!window.cxButton3->isEnabled());
  QVERIFY(window.btnSrcOpen->isEnabled());
  // Pressing it anyway (it is disabled) starts nothing.
  QTest::mouseClick(window.cxButton3, Qt::LeftButton);
  QVERIFY(boxes.boxes.isEmpty());
  QVERIFY(MemoLines(window.Memo1).isEmpty());
}

void WindowFolderTest::confirmingAFolderListsItsFilesAndEnablesTheStart() {
  const QString folder = home_.NewFolder(QStringLiteral("選択"));
  WriteBytes(folder + QStringLiteral("/Zeta.TXT"), "z");
  WriteBytes(folder + QStringLiteral("/alpha.txt"), "a");
  WriteBytes(folder + QStringLiteral("/noext"), "n");
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  QCOMPARE(window.edtSrcFolder->text(), folder);
  // Names as stored, ordered ignoring letter case.
  QCOMPARE(window.JvFileListBox1->Names(), QStringList({"alpha.txt", "noext", "Zeta.TXT"}));
  QVERIFY(!window.JvFileListBox1->item(0)->icon().isNull());
  QVERIFY(window.actConvStart->isEnabled());
  QVERIFY(window.cxButton3->isEnabled());
  QVERIFY(boxes.boxes.isEmpty());
}

void WindowFolderTest::anEmptyFolderSaysSoAndKeepsTheStartDisabled() {
  const QString full = home_.NewFolder(QStringLiteral("full"));
  WriteBytes(full + QStringLiteral("/a.txt"), "a");
  const QString empty = home_.NewFolder(QStringLiteral("empty"));
  QDir().mkpath(empty + QStringLiteral("/only a folder"));
  TfmMain window;
  BoxRecorder boxes(window);

  ConfirmFolder(window, empty);
  QCOMPARE(boxes.Texts(), QStringList{kNoFiles});
  QCOMPARE(boxes.boxes.front().flags, unsigned(MB_ICONINFORMATION));
  QCOMPARE(boxes.boxes.front().caption, QString::fromStdString(MBox::ApplicationTitle()));
  QCOMPARE(window.edtSrcFolder->text(), empty);
  QCOMPARE(window.JvFileListBox1->count(), 0);
  QVERIFY(!window.cxButton3->isEnabled());

  // A folder with files enables it; an empty one disables it again.
  ConfirmFolder(window, full);
  QVERIFY(window.cxButton3->isEnabled());
  ConfirmFolder(window, empty);
  QVERIFY(!window.cxButton3->isEnabled());
  QCOMPARE(boxes.Texts(), QStringList({kNoFiles, kNoFiles}));
}

void WindowFolderTest::cancellingChangesNothingAlsoForTheNextRun() {
  const QString chosen = home_.NewFolder(QStringLiteral("kept"));
  WriteLines(chosen + QStringLiteral("/kept.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, chosen);

  int asked = 0;
  window.SetFolderChooser([&asked]() -> std::optional<std::filesystem::path> {
    ++asked;
    return std::nullopt;
  });
  window.actSrcFolderSelect->trigger();
  QCOMPARE(asked, 1);
  QCOMPARE(window.edtSrcFolder->text(), chosen);
  QCOMPARE(window.JvFileListBox1->Names(), QStringList{"kept.txt"});
  QVERIFY(window.cxButton3->isEnabled());
  QVERIFY(boxes.boxes.isEmpty());

  QVERIFY(RunToEnd(window));
  QVERIFY(MemoLines(window.Memo1).contains(QStringLiteral(" [○]kept.txt")));
  QVERIFY(QFile::exists(chosen + QStringLiteral("/処理後/取込用.txt")));
  QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("終了しました")});
}

void WindowFolderTest::onlyVisibleFilesAreListed_data() {
  QTest::addColumn<QString>("entry");
  QTest::addColumn<bool>("listed");
  QTest::newRow("hidden file") << QStringLiteral(".hidden.txt") << false;
  QTest::newRow("sub-folder") << QStringLiteral("sub/") << false;
  QTest::newRow("hidden sub-folder") << QStringLiteral(".sub/") << false;
  QTest::newRow("read-only file") << QStringLiteral("readonly.txt") << true;
}

void WindowFolderTest::onlyVisibleFilesAreListed() {
  QFETCH(QString, entry);
  QFETCH(bool, listed);
  const QString folder = home_.NewFolder(QStringLiteral("entries/") + QTest::currentDataTag());
  WriteLines(folder + QStringLiteral("/a.txt"), {RecordLine(1, "A1", "書名", "ショメイ")});
  const std::string record = RecordLine(2, "B2", "別", "ベツ") + "\r\n";
  QString name = entry;
  if (entry.endsWith(QLatin1Char('/'))) {
    name.chop(1);
    QDir().mkpath(folder + QLatin1Char('/') + name);
    WriteBytes(folder + QLatin1Char('/') + name + QStringLiteral("/inside.txt"), record);
  } else {
    WriteBytes(folder + QLatin1Char('/') + name, record);
    QFile::setPermissions(folder + QLatin1Char('/') + name, QFile::ReadOwner | QFile::ReadUser);
  }
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  const QStringList expected = listed ? QStringList{"a.txt", name} : QStringList{"a.txt"};
  QCOMPARE(window.JvFileListBox1->Names(), expected);

  // The run takes the same files, and only those.
  QVERIFY(RunToEnd(window));
  const QStringList log = MemoLines(window.Memo1);
  QVERIFY(log.contains(QStringLiteral(" 全ファイル数:%1個").arg(expected.size())));
  QCOMPARE(log.filter(QStringLiteral("inside.txt")), QStringList());
  QCOMPARE(log.contains(QStringLiteral(" [○]") + name), listed);
  QCOMPARE(window.JvFileListBox1->Names(), expected);
}

void WindowFolderTest::browserIsSetUpAsAFolderChooser() {
  TfmMain window;
  QFileDialog* dialog = window.SelectFolderDialog1->Dialog();
  QVERIFY(dialog->parent() == &window);
  QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
  QVERIFY(dialog->testOption(QFileDialog::ShowDirsOnly));
  QVERIFY(dialog->testOption(QFileDialog::ReadOnly));
  QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
  QCOMPARE(dialog->windowTitle(), QStringLiteral("フォルダの選択"));
  QCOMPARE(dialog->labelText(QFileDialog::Accept), QStringLiteral("選択"));
  for (const char* name : {"newFolderButton", "fileNameEdit"}) {
    auto* child = dialog->findChild<QWidget*>(QLatin1String(name));
    QVERIFY2(child != nullptr, name);
    QVERIFY2(child->isHidden(), name);
  }
}

void WindowFolderTest::browserStartsAtTheDesktopThenAtTheLastFolder() {
  const QString target = home_.NewFolder(QStringLiteral("browsed"));
  WriteBytes(target + QStringLiteral("/x.txt"), "x");
  TfmMain window;
  BoxRecorder boxes(window);
  QFileDialog* dialog = window.SelectFolderDialog1->Dialog();

  // The real browser, driven once it is up: note where it opened, then
  // confirm a folder or cancel.
  QString openedAt;
  const auto answerWith = [&](const QString& folder) {
    QTimer::singleShot(0, dialog, [&, folder] {
      QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 30000);
      openedAt = dialog->directory().absolutePath();
      if (folder.isEmpty()) {
        dialog->reject();
      } else {
        dialog->setDirectory(folder);
        static_cast<QDialog*>(dialog)->accept();  // the browser's own checks run
      }
    });
  };

  answerWith(target);
  window.actSrcFolderSelect->trigger();
  QCOMPARE(openedAt, home_.Desktop());
  QCOMPARE(window.edtSrcFolder->text(), target);
  QCOMPARE(window.JvFileListBox1->Names(), QStringList{"x.txt"});

  answerWith(QString());
  window.actSrcFolderSelect->trigger();
  QCOMPARE(openedAt, target);
  QCOMPARE(window.edtSrcFolder->text(), target);
  QCOMPARE(ToQString(window.SelectFolderDialog1->Folder()), target);
  QVERIFY(window.cxButton3->isEnabled());
  QVERIFY(boxes.boxes.isEmpty());
}

QTEST_MAIN(WindowFolderTest)
#include "window_folder_test.moc"
