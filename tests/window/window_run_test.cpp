// The conversion run in the window: the same results as the command-line
// run, the window's state while it works, and how it ends when it fails.
#include <cerrno>

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "ConversionRun.h"
#include "FileListBox.h"
#include "PathText.h"
#include "WindowTestSupport.h"
#include "fmain.h"
#include "quenFile.h"
#include "quenText.h"

namespace {

// The closing box of a run over FillFolder's folder: the samples and 03_extra
// give 18 records, 8 of them copies of a repeated key and 3 blank titles,
// all kept out of the import file, and 3 over-long NDC numbers.
const QString kDone =
    QStringLiteral("終了しました\r\n取込用 7件 / 重複 8件 / 書名なし 3件 / ＮＤＣ桁数 3件");
const QStringList kOutputs{QStringLiteral("取込用.txt"), QStringLiteral("重複エラー.txt"),
                           QStringLiteral("書名なし.txt"), QStringLiteral("処理結果.txt")};

// The sample folder, a file with repeated and blank-title records, a picture,
// and entries that must be left alone.
void FillFolder(const QString& folder) {
  CopyFolder(QStringLiteral(TEXTCNV_SAMPLES_DIR), folder);
  WriteLines(
      folder + QStringLiteral("/03_extra.txt"),
      {RecordLine(1, "X-1", "本", "ホン"), RecordLine(2, "x-1", "同じ鍵", "オナジカギ"),
       RecordLine(3, "X-3", "", "ヨミ"), RecordLine(4, "X-4", "分類", "ブンルイ", "123456789012"),
       RecordLine(5, "X-5", "最後", "サイゴ")});
  WriteBytes(folder + QStringLiteral("/picture.jpg"),
             std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
  WriteLines(folder + QStringLiteral("/.hidden.txt"), {RecordLine(9, "H-9", "隠し", "カクシ")});
  QDir().mkpath(folder + QStringLiteral("/sub"));
  WriteLines(folder + QStringLiteral("/sub/inner.txt"), {RecordLine(8, "S-8", "中", "ナカ")});
}

QString Output(const QString& folder, const QString& name) {
  return folder + QStringLiteral("/処理後/") + name;
}

}  // namespace

class WindowRunTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void aRunGivesWhatTheBatchRunGives();
  void theWindowIsBusyAndClosedToInputWhileTheRunWorks();
  void aFailingStageIsShownAndTheProgramGoesOn();
  void aRunEndingEarlyLeavesTheWindowReady_data();
  void aRunEndingEarlyLeavesTheWindowReady();
  void aVanishedFolderIsShownBeforeAnythingIsCleared();
};

void WindowRunTest::aRunGivesWhatTheBatchRunGives() {
  const QString windowFolder = home_.NewFolder(QStringLiteral("window")) + QStringLiteral("/取込");
  const QString batchFolder = home_.NewFolder(QStringLiteral("batch")) + QStringLiteral("/取込");
  FillFolder(windowFolder);
  FillFolder(batchFolder);

  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, windowFolder);
  QVERIFY(RunToEnd(window));

  QProcess batch;
  batch.start(QStringLiteral(TEXTCNV_BATCH_EXE), {batchFolder});
  QVERIFY(batch.waitForFinished(120000));
  QCOMPARE(batch.exitCode(), 0);
  QStringList batchLog = QString::fromUtf8(batch.readAllStandardOutput()).split('\n');
  QCOMPARE(batchLog.takeLast(), QString());  // after the last line's break

  const QStringList log = MemoLines(window.Memo1);
  QCOMPARE(log, batchLog);
  QVERIFY(log.contains(QStringLiteral(" [○]03_extra.txt")));
  QVERIFY(log.contains(QStringLiteral(" [×]picture.jpg")));
  QCOMPARE(log.filter(QStringLiteral("hidden")), QStringList());
  QCOMPARE(log.filter(QStringLiteral("inner")), QStringList());
  for (const QString& name : kOutputs) {
    QVERIFY2(QFile::exists(Output(windowFolder, name)), qPrintable(name));
    QCOMPARE(ReadBytes(Output(windowFolder, name)), ReadBytes(Output(batchFolder, name)));
  }
  QCOMPARE(boxes.Texts(), QStringList{kDone});
  // The batch tool prints the box as one line.
  QCOMPARE(QString::fromUtf8(batch.readAllStandardError()),
           QString(kDone).replace(QStringLiteral("\r\n"), QStringLiteral(" ")) + QLatin1Char('\n'));
  QVERIFY(boxes.boxes.front().onGuiThread);
  QCOMPARE(boxes.boxes.front().flags, unsigned(MBox::kIconInformation));

  // The list still shows the folder's files (the output folder is no file),
  // and a second run re-reads the folder and gives the same files again.
  QCOMPARE(
      window.JvFileListBox1->Names(),
      QStringList({"01_新刊.txt", "02_追加分.txt", "03_extra.txt", "picture.jpg", "メモ.txt"}));
  QVERIFY(RunToEnd(window));
  QCOMPARE(MemoLines(window.Memo1), batchLog);
  for (const QString& name : kOutputs) {
    QCOMPARE(ReadBytes(Output(windowFolder, name)), ReadBytes(Output(batchFolder, name)));
  }
}

void WindowRunTest::theWindowIsBusyAndClosedToInputWhileTheRunWorks() {
  const QString folder = home_.NewFolder(QStringLiteral("busy"));
  FillFolder(folder);
  TfmMain window;
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);

  int chooserCalls = 0;
  window.SetFolderChooser([&]() -> std::optional<std::filesystem::path> {
    ++chooserCalls;
    return ToPath(folder);
  });
  // Seen by the log pane as the first stage line arrives.
  bool busyAtFirstStage = false;
  bool logPainted = false;
  connect(window.Memo1, &QPlainTextEdit::textChanged, this, [&] {
    if (!window.Memo1->toPlainText().endsWith(
            QStringLiteral(" ファイルリスト（[×]は処理対象外ファイル）")))
      return;
    busyAtFirstStage = QApplication::overrideCursor() != nullptr &&
                       QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    logPainted = window.Memo1->updatesEnabled();
  });
  // The closing box comes while the run still works: try everything then.
  bool checked = false;
  boxes.onBox = [&](const RecordedBox& box) {
    if (box.text != kDone) return;
    checked = true;
    QVERIFY(window.IsWorking());
    QVERIFY(!window.cxButton3->isEnabled());
    QVERIFY(!window.actConvStart->isEnabled());
    QVERIFY(!window.btnSrcOpen->isEnabled());
    QVERIFY(!window.actSrcFolderSelect->isEnabled());
    window.actSrcFolderSelect->trigger();
    window.actConvStartExecute();
    window.actSrcFolderSelectExecute();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
  };

  QSignalSpy ended(&window, &TfmMain::RunEnded);
  QVERIFY(RunToEnd(window));
  QVERIFY(checked);
  QVERIFY(busyAtFirstStage);
  QVERIFY(logPainted);
  QCOMPARE(chooserCalls, 0);
  QCOMPARE(ended.count(), 1);
  // Closing meanwhile showed no box of its own, which the end box would
  // have stacked on.
  QCOMPARE(boxes.boxes.size(), 1);
  QCOMPARE(boxes.boxes[0].text, kDone);

  // Ended: everything is back.
  QVERIFY(!window.IsWorking());
  QVERIFY(window.cxButton3->isEnabled());
  QVERIFY(window.btnSrcOpen->isEnabled());
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QVERIFY(window.Memo1->updatesEnabled());
  QCOMPARE(window.progBar->value(), 0);
  // The close asked for during the run comes once its end box is answered.
  QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 30000);
}

void WindowRunTest::aFailingStageIsShownAndTheProgramGoesOn() {
  const QString folder = home_.NewFolder(QStringLiteral("failing"));
  FillFolder(folder);
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  {
    // The file check cannot open this file at all.
    FailingFileSystem locked(FailingFileSystem::Call::kOpen, "02_追加分.txt", EACCES);
    QVERIFY(RunToEnd(window));
  }
  const quenFile::FileError expected(quenFile::FileError::Kind::kOpen,
                                     ToPath(folder + QStringLiteral("/02_追加分.txt")), EACCES);
  QCOMPARE(boxes.boxes.size(), 1);
  const RecordedBox& box = boxes.boxes.front();
  QCOMPARE(box.text, QString::fromStdString(quenText::ToUtf8(ExceptionBoxText(expected.what()))));
  // The system's reason ends the box, with its own full stop only.
  QVERIFY(box.text.endsWith(QStringLiteral("アクセスが拒否されました。")));
  QCOMPARE(box.caption, QString::fromStdString(quenText::ToUtf8(MBox::ApplicationTitle())));
  QCOMPARE(box.flags, unsigned(MBox::kIconError));
  QVERIFY(box.onGuiThread);
  QVERIFY(!QFile::exists(Output(folder, QStringLiteral("処理結果.txt"))));
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QVERIFY(!window.IsWorking());
  QVERIFY(window.cxButton3->isEnabled());
  QCOMPARE(window.progBar->value(), 0);

  // The program goes on: the next run completes.
  QVERIFY(RunToEnd(window));
  QCOMPARE(boxes.Texts().last(), kDone);
  QVERIFY(QFile::exists(Output(folder, QStringLiteral("処理結果.txt"))));
}

void WindowRunTest::aRunEndingEarlyLeavesTheWindowReady_data() {
  QTest::addColumn<int>("call");
  QTest::addColumn<QByteArray>("name");
  QTest::addColumn<bool>("oldImport");
  QTest::addColumn<QString>("box");
  QTest::newRow("output folder cannot be made")
      << int(FailingFileSystem::Call::kMakeDirectory) << QByteArray("処理後") << false
      << QStringLiteral("が作成できません\r\n処理を中断します。");
  QTest::newRow("old import file cannot be deleted")
      << int(FailingFileSystem::Call::kUnlink) << QByteArray("取込用.txt") << true
      << QStringLiteral("ファイルをメモ帳等で開いている時は閉じて、再度処理をして下さい");
}

void WindowRunTest::aRunEndingEarlyLeavesTheWindowReady() {
  QFETCH(int, call);
  QFETCH(QByteArray, name);
  QFETCH(bool, oldImport);
  QFETCH(QString, box);
  const QString folder = home_.NewFolder(QStringLiteral("early/") + QTest::currentDataTag());
  FillFolder(folder);
  if (oldImport) {
    QDir().mkpath(folder + QStringLiteral("/処理後"));
    WriteBytes(Output(folder, QStringLiteral("取込用.txt")), "old");
  }
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  {
    FailingFileSystem failing(static_cast<FailingFileSystem::Call>(call), name.toStdString(),
                              EACCES);
    QVERIFY(RunToEnd(window));
  }
  QCOMPARE(boxes.boxes.size(), 1);
  // The box's own text, then the system's reason on a line of its own.
  QVERIFY2(
      boxes.boxes.front().text.endsWith(box + QStringLiteral("\r\nアクセスが拒否されました。")),
      qPrintable(boxes.boxes.front().text));
  QCOMPARE(boxes.boxes.front().flags, unsigned(MBox::kIconError));
  QVERIFY(!window.IsWorking());
  QVERIFY(window.cxButton3->isEnabled());
  QVERIFY(window.btnSrcOpen->isEnabled());
  QCOMPARE(QApplication::overrideCursor(), nullptr);
  QVERIFY(!QFile::exists(Output(folder, QStringLiteral("処理結果.txt"))));
}

void WindowRunTest::aVanishedFolderIsShownBeforeAnythingIsCleared() {
  const QString folder = home_.NewFolder(QStringLiteral("vanishing"));
  FillFolder(folder);
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  QVERIFY(RunToEnd(window));
  const QStringList lastLog = MemoLines(window.Memo1);
  QVERIFY(QDir(folder).removeRecursively());

  QVERIFY(RunToEnd(window));
  QCOMPARE(boxes.boxes.size(), 2);
  QCOMPARE(boxes.boxes[1].flags, unsigned(MBox::kIconError));
  QVERIFY(boxes.boxes[1].text.contains(folder));
  QCOMPARE(MemoLines(window.Memo1), lastLog);
  QVERIFY(!window.IsWorking());
  QVERIFY(window.btnSrcOpen->isEnabled());
}

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
