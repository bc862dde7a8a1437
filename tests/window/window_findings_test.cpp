// The 「表示」 menu of the main window: the findings window (when it can be
// opened, what it shows, copying and saving rows) and opening the output
// folder.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "FindingsModel.h"
#include "FindingsWindow.h"
#include "PathText.h"
#include "ViewMenu.h"
#include "WindowTestSupport.h"
#include "fmain.h"

namespace {

// The sample folder: two blank titles, two long NDC numbers, three keys
// with two copies each.
constexpr int kSampleFindings = 10;

QString TabLine(const Finding& finding) {
  QStringList cells;
  for (const std::string& cell : RowOf(finding)) cells << QString::fromStdString(cell);
  return cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

}  // namespace

class WindowFindingsTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

  // A window that has run over a copy of the sample folder.
  int runs_ = 0;

  QString RunSample(TfmMain& window, BoxRecorder& boxes, const QString& name) {
    const QString folder = home_.NewFolder(name + QString::number(++runs_));
    CopyFolder(QStringLiteral(TEXTCNV_SAMPLES_DIR), folder);
    boxes.Attach(window);
    ConfirmFolder(window, folder);
    if (!RunToEnd(window)) qFatal("the run did not end");
    return folder;
  }

 private slots:
  void menuHoldsBothItems();
  void listOpensOnlyAfterARunHasEnded();
  void anOpenListFollowsTheNextRun();
  void copyTakesTheSelectedRowsInViewOrder();
  void csvSavesTheRowsShown_data();
  void csvSavesTheRowsShown();
  void outputFolderOpensOnceItExists();
};

void WindowFindingsTest::menuHoldsBothItems() {
  TfmMain window;
  const QList<QAction*> menus = window.MainMenu->actions();
  QCOMPARE(menus.size(), 2);
  QCOMPARE(menus[1]->text(), QStringLiteral("表示(&V)"));
  QStringList items;
  for (const QAction* item : menus[1]->menu()->actions()) items << item->text();
  QCOMPARE(items, QStringList({"処理結果の一覧(&L)", "出力フォルダを開く(&O)"}));
  QCOMPARE(window.ViewMenu->actFindingsList->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
}

void WindowFindingsTest::listOpensOnlyAfterARunHasEnded() {
  const QString folder = home_.NewFolder(QStringLiteral("enabling"));
  CopyFolder(QStringLiteral(TEXTCNV_SAMPLES_DIR), folder);
  TfmMain window;
  BoxRecorder boxes(window);
  QAction* list = window.ViewMenu->actFindingsList;
  QVERIFY(!list->isEnabled());
  ConfirmFolder(window, folder);
  QVERIFY(!list->isEnabled());
  list->trigger();
  window.ViewMenu->actFindingsListExecute();
  QCOMPARE(window.ViewMenu->FindingsWindow(), nullptr);

  QVERIFY(RunToEnd(window));
  QVERIFY(list->isEnabled());

  // Not while the next run works, although one has ended before.
  bool checkedWhileWorking = false;
  boxes.onBox = [&](const RecordedBox&) {
    checkedWhileWorking = window.IsWorking();
    QVERIFY(!list->isEnabled());
    window.ViewMenu->actFindingsListExecute();
    QCOMPARE(window.ViewMenu->FindingsWindow(), nullptr);
  };
  QVERIFY(RunToEnd(window));
  QVERIFY(checkedWhileWorking);
  QVERIFY(list->isEnabled());

  // Ctrl+L opens it over the main window.
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
  TFindingsWindow* findings = window.ViewMenu->FindingsWindow();
  QVERIFY(findings != nullptr);
  QVERIFY(findings->isVisible());
  QVERIFY(findings->isWindow());
  QVERIFY(!findings->isModal());
  QCOMPARE(findings->windowTitle(), QStringLiteral("処理結果の一覧"));
  QCOMPARE(findings->Filter->rowCount(), kSampleFindings);
  QCOMPARE(findings->lblCount->text(), QStringLiteral("全10件"));
  // In the run's order: each key's copies together, the count in 種類.
  QCOMPARE(findings->Filter->index(4, 0).data().toString(), QStringLiteral("重複キー（2件）"));
  QCOMPARE(findings->Filter->index(4, 1).data(), findings->Filter->index(5, 1).data());

  // Closing the main window still ends the program (the second timer only
  // ends a loop that would otherwise go on).
  QTimer::singleShot(0, &window, [&window] { window.close(); });
  QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(1); });
  QCOMPARE(QApplication::exec(), 0);
  QVERIFY(!window.isVisible());
}

void WindowFindingsTest::anOpenListFollowsTheNextRun() {
  TfmMain window;
  BoxRecorder boxes;
  const QString folder = RunSample(window, boxes, QStringLiteral("refresh"));
  window.ViewMenu->actFindingsList->trigger();
  TFindingsWindow* findings = window.ViewMenu->FindingsWindow();
  QVERIFY(findings != nullptr);
  QCOMPARE(findings->Model->rowCount(), kSampleFindings);

  WriteLines(folder + QStringLiteral("/03_more.txt"),
             {RecordLine(1, "M-1", "本", "ホン"), RecordLine(2, "M-1", "本", "ホン"),
              RecordLine(3, "M-1", "本", "ホン")});
  QVERIFY(RunToEnd(window));
  QCOMPARE(findings->Model->rowCount(), kSampleFindings + 3);
  QCOMPARE(findings->Model->rowCount(), int(window.RunFindings().size()));
  QCOMPARE(findings->lblCount->text(), QStringLiteral("全13件"));

  // Closed, it takes the next run's findings when opened again.
  findings->close();
  QVERIFY(QFile::remove(folder + QStringLiteral("/03_more.txt")));
  QVERIFY(RunToEnd(window));
  window.ViewMenu->actFindingsList->trigger();
  QCOMPARE(window.ViewMenu->FindingsWindow(), findings);
  QVERIFY(findings->isVisible());
  QCOMPARE(findings->Model->rowCount(), kSampleFindings);
}

void WindowFindingsTest::copyTakesTheSelectedRowsInViewOrder() {
  TfmMain window;
  BoxRecorder boxes;
  RunSample(window, boxes, QStringLiteral("copy"));
  window.ViewMenu->actFindingsList->trigger();
  TFindingsWindow* findings = window.ViewMenu->FindingsWindow();
  QVERIFY(QTest::qWaitForWindowActive(findings));
  QVERIFY(!findings->btnCopy->isEnabled());

  // Sorted by line, descending: line 7 (the run's 8th finding) comes
  // first, line 1 (its 6th) last.
  findings->Table->sortByColumn(TFindingsModel::kLineColumn, Qt::DescendingOrder);
  for (const int row : {kSampleFindings - 1, 0}) {
    findings->Table->selectionModel()->select(
        findings->Filter->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  QVERIFY(findings->btnCopy->isEnabled());
  const Findings& run = window.RunFindings();
  const QString expected = TabLine(run[7]) + TabLine(run[5]);

  QGuiApplication::clipboard()->clear();
  findings->Table->setFocus();
  QTest::keyClick(findings->Table, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QGuiApplication::clipboard()->text(), expected);

  QGuiApplication::clipboard()->clear();
  QTest::mouseClick(findings->btnCopy, Qt::LeftButton);
  QCOMPARE(QGuiApplication::clipboard()->text(), expected);
  QVERIFY(findings->Table->actions().contains(findings->actCopy));  // the context menu
}

void WindowFindingsTest::csvSavesTheRowsShown_data() {
  QTest::addColumn<int>("kindIndex");  // in the combo box
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("rows");
  QTest::newRow("everything") << 0 << QString() << kSampleFindings;
  QTest::newRow("repeated keys") << 1 << QString() << 6;
  QTest::newRow("a text") << 0 << QStringLiteral("雪国") << 2;
  QTest::newRow("nothing shown") << 3 << QStringLiteral("雪国") << 0;
}

void WindowFindingsTest::csvSavesTheRowsShown() {
  QFETCH(int, kindIndex);
  QFETCH(QString, text);
  QFETCH(int, rows);
  TfmMain window;
  BoxRecorder boxes;
  const QString folder = RunSample(window, boxes, QStringLiteral("csv"));
  window.ViewMenu->actFindingsList->trigger();
  TFindingsWindow* findings = window.ViewMenu->FindingsWindow();
  findings->cmbKind->setCurrentIndex(kindIndex);
  findings->edtFilter->setText(text);
  findings->Table->sortByColumn(TFindingsModel::kLineColumn, Qt::AscendingOrder);
  QCOMPARE(findings->Filter->rowCount(), rows);

  const QString csv = folder + QStringLiteral("/一覧.csv");
  std::filesystem::path suggested;
  findings->SetSaveChooser([&](const std::filesystem::path& start) {
    suggested = start;
    return std::optional(ToPath(csv));
  });
  QTest::mouseClick(findings->btnSave, Qt::LeftButton);
  QCOMPARE(ToQString(suggested), folder + QStringLiteral("/処理後/処理結果の一覧.csv"));
  const QByteArray saved = ReadBytes(csv);
  QCOMPARE(saved, QByteArray::fromStdString(FindingsCsv(findings->Filter->ShownFindings())));
  QCOMPARE(saved.count("\r\n"), rows + 1);
  QVERIFY(saved.startsWith("\xEF\xBB\xBF"));
  // The samples' 13 records: 6 copies of repeated keys, 2 blank titles and
  // 2 over-long NDC numbers, as the table lists them.
  QCOMPARE(boxes.Texts(),
           QStringList{QStringLiteral(
               "終了しました\r\n取込用 5件 / 重複 6件 / 書名なし 2件 / ＮＤＣ桁数 2件")});

  // Cancelled, nothing is written; unwritable, the error box says why.
  QVERIFY(QFile::remove(csv));
  findings->SetSaveChooser([](const std::filesystem::path&) { return std::nullopt; });
  findings->SaveCsv();
  QVERIFY(!QFile::exists(csv));
  const QString nowhere = csv + QStringLiteral(".d/一覧.csv");
  findings->SetSaveChooser(
      [&](const std::filesystem::path&) { return std::optional(ToPath(nowhere)); });
  findings->SaveCsv();
  QCOMPARE(boxes.boxes.size(), 2);
  QCOMPARE(boxes.boxes[1].flags, unsigned(MBox::kIconError));
  QVERIFY2(boxes.boxes[1].text.contains(nowhere), qPrintable(boxes.boxes[1].text));
}

void WindowFindingsTest::outputFolderOpensOnceItExists() {
  const QString folder = home_.NewFolder(QStringLiteral("open"));
  CopyFolder(QStringLiteral(TEXTCNV_SAMPLES_DIR), folder);
  TfmMain window;
  BoxRecorder boxes(window);
  QList<QUrl> opened;
  bool opens = true;
  window.ViewMenu->SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return opens;
  });
  QAction* open = window.ViewMenu->actOpenOutputFolder;
  QVERIFY(!open->isEnabled());  // no folder chosen
  ConfirmFolder(window, folder);
  emit window.ViewMenu->Menu->aboutToShow();
  QVERIFY(!open->isEnabled());  // no 処理後 yet
  window.ViewMenu->actOpenOutputFolderExecute();
  QVERIFY(opened.isEmpty());

  QVERIFY(RunToEnd(window));
  QVERIFY(open->isEnabled());
  open->trigger();
  QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("/処理後"))});
  QCOMPARE(boxes.boxes.size(), 1);

  // A desktop that cannot open it says so, shows the path on a line of its
  // own and offers to copy it.
  opens = false;
  open->trigger();
  QCOMPARE(boxes.boxes.size(), 2);
  const RecordedBox& box = boxes.boxes[1];
  const QString path = folder + QStringLiteral("/処理後");
  QCOMPARE(box.flags, unsigned(MBox::kIconError));
  QCOMPARE(box.text,
           QStringLiteral("出力フォルダを開けるファイルマネージャーがありません。\r\n") + path +
               QStringLiteral("\r\n「コピー」でこのパスをクリップボードにコピーできます。"));
  QCOMPARE(box.copyText, path);

  // Gone again: the menu sees it as it opens.
  QVERIFY(QDir(folder + QStringLiteral("/処理後")).removeRecursively());
  emit window.ViewMenu->Menu->aboutToShow();
  QVERIFY(!open->isEnabled());
}

QTEST_MAIN(WindowFindingsTest)
#include "window_findings_test.moc"
