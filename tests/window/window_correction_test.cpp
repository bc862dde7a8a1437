// The findings window as the operator corrects a run with it: which run it
// shows, a record in context, editing, keeping a copy and saving
// 再登録用.txt, and closing with edits not saved.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include "FindingsModel.h"
#include "FindingsWindow.h"
#include "PathText.h"
#include "ViewMenu.h"
#include "WindowTestSupport.h"
#include "fmain.h"
#include "quenText.h"

namespace {

QString Utf8(std::string_view cp932) { return QString::fromStdString(quenText::ToUtf8(cp932)); }

// The row shown for the finding on line of file.
int RowAt(TFindingsWindow& findings, const QString& file, int line) {
  for (int row = 0; row < findings.Filter->rowCount(); ++row) {
    if (findings.Filter->index(row, TFindingsModel::kFileColumn).data().toString() == file &&
        findings.Filter->index(row, TFindingsModel::kLineColumn).data().toInt() == line) {
      return row;
    }
  }
  qFatal("no finding at %s:%d", qPrintable(file), line);
}

// Types text as an input method commits it, as Japanese is typed.
void Type(QWidget* edit, const QString& text) {
  QInputMethodEvent commit;
  commit.setCommitString(text);
  QApplication::sendEvent(edit, &commit);
}

const QString kNew = QStringLiteral("01_新刊.txt");
const QString kMore = QStringLiteral("02_追加分.txt");

}  // namespace

class WindowCorrectionTest : public QObject {
  Q_OBJECT
  PrivateHome home_;
  int runs_ = 0;
  QString folder_;

  // Runs over a copy of the sample folder and opens the findings.
  TFindingsWindow* Open(TfmMain& window, BoxRecorder& boxes) {
    folder_ = home_.NewFolder(QStringLiteral("run") + QString::number(++runs_));
    CopyFolder(QStringLiteral(TEXTCNV_SAMPLES_DIR), folder_);
    boxes.Attach(window);
    ConfirmFolder(window, folder_);
    if (!RunToEnd(window)) qFatal("the run did not end");
    window.ViewMenu->actFindingsList->trigger();
    return window.ViewMenu->FindingsWindow();
  }
  // Opens the record on line of file with Enter.
  TRecordView* Enter(TFindingsWindow& findings, const QString& file, int line) {
    findings.Table->setCurrentIndex(findings.Filter->index(RowAt(findings, file, line), 0));
    findings.Table->setFocus();
    QTest::keyClick(findings.Table, Qt::Key_Return);
    return findings.RecordView();
  }
  QString Saved() const { return folder_ + QStringLiteral("/処理後/再登録用.txt"); }

 private slots:
  void headerNamesTheRunAndMarksItOnceAnotherFolderIsChosen();
  void columnsFitTheirWidestCellInAnyRow();
  void recordOpensInContextAsTheReportShowsIt();
  void editedAndKeptRecordsAreSavedForRegistration();
  void refusedSavesSayWhyAndWriteNothing();
  void closingWithUnsavedEditsAsksFirst();
  void workbookSavesTheRowsShownAndSaysWhere();
};

void WindowCorrectionTest::headerNamesTheRunAndMarksItOnceAnotherFolderIsChosen() {
  TfmMain window;
  BoxRecorder boxes;
  window.resize(640, 480);
  window.move(100, 100);
  window.show();
  TFindingsWindow* findings = Open(window, boxes);
  const QString header = findings->lblRun->text();
  QVERIFY2(header.startsWith(QStringLiteral("フォルダ：") + folder_ + QStringLiteral("　終了：")),
           qPrintable(header));
  QVERIFY2(header.endsWith(QStringLiteral("重複キー 6件 / 書名（ヨミ）空白 2件 / ＮＤＣ桁数 2件")),
           qPrintable(header));
  // Over the main window, its buttons reachable by keyboard.
  QVERIFY((findings->frameGeometry().center() - window.frameGeometry().center()).manhattanLength() <
          4);
  for (const QPushButton* button : {findings->btnCopy, findings->btnSave, findings->btnSaveXlsx,
                                    findings->btnSaveCorrections, findings->btnClose}) {
    QVERIFY2(button->text().contains(QStringLiteral("(&")), qPrintable(button->text()));
  }
  // Escape closes it from the table and from the search box alike.
  QTest::keyClick(findings->Table, Qt::Key_Escape);
  QVERIFY(!findings->isVisible());
  window.ViewMenu->actFindingsList->trigger();
  QTest::keyClick(findings->edtFilter, Qt::Key_Escape);
  QVERIFY(!findings->isVisible());
  window.ViewMenu->actFindingsList->trigger();

  const QString other = home_.NewFolder(QStringLiteral("other"));
  ConfirmFolder(window, other);
  QVERIFY(findings->IsEarlier());
  QVERIFY(findings->lblRun->text().startsWith(QStringLiteral("【前の実行の結果】 フォルダ：") +
                                              folder_));
  // A run of its own folder again: the new findings, not marked.
  ConfirmFolder(window, folder_);
  QVERIFY(RunToEnd(window));
  QVERIFY(!findings->IsEarlier());
  QVERIFY(findings->lblRun->text().startsWith(QStringLiteral("フォルダ：")));
}

void WindowCorrectionTest::columnsFitTheirWidestCellInAnyRow() {
  TFindingsWindow findings(nullptr);
  Findings many;
  const std::string longName = "とても長い名前の入力ファイル_2026年4月分_A.txt";
  for (int i = 1; i <= 400; ++i) {
    many.Add(FindingKind::kTitleBlank, i == 400 ? longName : "a.txt", i == 400 ? 1234567 : i,
             RecordLine(i, "K-" + std::to_string(i), "", "ヨミ"));
  }
  findings.SetFindings(many, {});
  const QFontMetrics metrics = findings.Table->fontMetrics();
  QVERIFY(findings.Table->columnWidth(TFindingsModel::kLineColumn) >
          metrics.horizontalAdvance(QStringLiteral("1234567")));
  QVERIFY(findings.Table->columnWidth(TFindingsModel::kFileColumn) >
          metrics.horizontalAdvance(QString::fromStdString(longName)));
  QCOMPARE(findings.Model->index(399, TFindingsModel::kFileColumn).data(Qt::ToolTipRole).toString(),
           QString::fromStdString(longName));
}

void WindowCorrectionTest::recordOpensInContextAsTheReportShowsIt() {
  TfmMain window;
  BoxRecorder boxes;
  TFindingsWindow* findings = Open(window, boxes);
  TRecordView* view = Enter(*findings, kNew, 3);
  QVERIFY(view != nullptr);
  QVERIFY(view->isVisible());
  QCOMPARE(view->lblWhere->text(),
           QStringLiteral("書名（ヨミ）空白　キー「978-4-00-310003-5」　01_新刊.txt 3行目"));
  QCOMPARE(view->edtTitle->text(), QStringLiteral("　"));
  QCOMPARE(view->edtReading->text(), QStringLiteral("ボッチャン"));
  QCOMPARE(view->tblFields->item(3, 0)->text(), QStringLiteral("書名"));
  QCOMPARE(view->tblFields->item(9, 0)->text(), QStringLiteral("NDC"));
  QCOMPARE(view->tblFields->item(5, 0)->text(), QStringLiteral("5"));
  QCOMPARE(view->tblFields->item(9, 1)->text(), QStringLiteral("913.6"));

  // The lines after the record's heading in 書名なし.txt.
  const QStringList report =
      Utf8(ReadBytes(folder_ + QStringLiteral("/処理後/書名なし.txt")).toStdString())
          .split(QStringLiteral("\r\n"));
  const int heading = int(report.indexOf(QStringLiteral("978-4-00-310003-5 :01_新刊.txt:3行目")));
  QVERIFY(heading >= 0);
  QCOMPARE(view->memContext->toPlainText(), report.mid(heading + 1, 7).join(QLatin1Char('\n')));

  QTest::keyClick(view, Qt::Key_Escape);
  QTRY_VERIFY(findings->RecordView() == nullptr);

  // A record the run imported is shown, not edited; a double-click opens.
  const QModelIndex imported = findings->Filter->index(RowAt(*findings, kNew, 5), 0);
  const QPoint at = findings->Table->visualRect(imported).center();
  QTest::mouseClick(findings->Table->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(findings->Table->viewport(), Qt::LeftButton, {}, at);
  view = findings->RecordView();
  QVERIFY(view != nullptr);
  QVERIFY(view->edtNdc->isReadOnly());
  QVERIFY(!view->chkKeep->isVisible());
}

void WindowCorrectionTest::editedAndKeptRecordsAreSavedForRegistration() {
  TfmMain window;
  BoxRecorder boxes;
  TFindingsWindow* findings = Open(window, boxes);
  QVERIFY(!findings->btnSaveCorrections->isEnabled());
  TRecordView* view = Enter(*findings, kNew, 3);
  view->edtTitle->selectAll();
  Type(view->edtTitle, QStringLiteral("坊っちゃん"));
  QTest::keyClick(view, Qt::Key_Escape);
  QVERIFY(findings->HasUnsavedEdits());
  QVERIFY(findings->Model->Marked(
      findings->Filter->mapToSource(findings->Filter->index(RowAt(*findings, kNew, 3), 0)).row()));

  // Of the two copies of 978-4-12-100007-3, the second is kept; a copy is
  // edited only once it is kept.
  view = Enter(*findings, kMore, 3);
  QVERIFY(view->edtTitle->isReadOnly());
  view->chkKeep->click();
  QVERIFY(!view->edtTitle->isReadOnly());
  view->edtNdc->selectAll();
  Type(view->edtNdc, QStringLiteral("913.68"));
  view->close();

  QTest::mouseClick(findings->btnSaveCorrections, Qt::LeftButton);
  const std::string title = quenText::FromUtf8("坊っちゃん");
  const std::string source = ReadBytes(folder_ + QStringLiteral("/01_新刊.txt")).toStdString();
  std::string first = source.substr(0, source.find("\r\n", source.find("20260003")) + 2);
  first = first.substr(first.find("20260003"));
  first.replace(first.find(quenText::FromUtf8("　")), 2, title);
  const std::string more = ReadBytes(folder_ + QStringLiteral("/02_追加分.txt")).toStdString();
  std::string kept = more.substr(more.find("20260010"));
  kept = kept.substr(0, kept.find("\r\n") + 2);
  kept.replace(kept.find("913.6"), 5, "913.68");
  QCOMPARE(ReadBytes(Saved()).toStdString(), first + kept);
  QCOMPARE(findings->lblStatus->text(),
           QStringLiteral("2件を再登録用.txtに保存しました：") + Saved());
  QVERIFY(!findings->HasUnsavedEdits());
  QCOMPARE(boxes.boxes.size(), 1);  // the end box alone
}

void WindowCorrectionTest::refusedSavesSayWhyAndWriteNothing() {
  TfmMain window;
  BoxRecorder boxes;
  TFindingsWindow* findings = Open(window, boxes);
  TRecordView* view = Enter(*findings, kNew, 4);
  Type(view->edtReading, QStringLiteral("ラショウモン😀"));
  view->close();
  QVERIFY(!findings->SaveCorrections());
  QVERIFY(!QFile::exists(Saved()));
  QCOMPARE(boxes.boxes.size(), 2);
  QCOMPARE(boxes.boxes[1].flags, unsigned(MBox::kIconError));
  QVERIFY2(boxes.boxes[1].text.contains(
               QStringLiteral("のヨミの文字「😀」はShift_JIS（CP932）で保存できません")),
           qPrintable(boxes.boxes[1].text));
  QVERIFY(findings->HasUnsavedEdits());
}

void WindowCorrectionTest::closingWithUnsavedEditsAsksFirst() {
  TfmMain window;
  BoxRecorder boxes;
  TFindingsWindow* findings = Open(window, boxes);
  TRecordView* view = Enter(*findings, kNew, 4);
  Type(view->edtReading, QStringLiteral("ラショウモン"));
  view->close();
  QTRY_VERIFY(findings->RecordView() == nullptr);

  // The box answers by keyboard: Escape keeps the window, Alt+D drops the
  // edits and closes it.
  QStringList asked;
  const auto answer = [&](int key, Qt::KeyboardModifiers modifiers) {
    auto* poll = new QTimer(findings);
    connect(poll, &QTimer::timeout, [&asked, poll, key, modifiers] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      poll->deleteLater();
      asked << box->text();
      box->activateWindow();
      QTest::keyClick(box, Qt::Key(key), modifiers);
    });
    poll->start(10);
  };
  answer(Qt::Key_Escape, Qt::NoModifier);
  QVERIFY(!findings->close());
  QVERIFY(findings->isVisible());
  QCOMPARE(asked.size(), 1);
  QVERIFY(asked[0].startsWith(QStringLiteral("再登録用ファイルに保存していない修正があります。")));
  answer(Qt::Key_D, Qt::AltModifier);
  QVERIFY(findings->close());
  QCOMPARE(asked.size(), 2);
  QVERIFY(!findings->HasUnsavedEdits());
  QVERIFY(!QFile::exists(Saved()));

  // Saving when asked writes the file, then closes.
  window.ViewMenu->actFindingsList->trigger();
  view = Enter(*findings, kNew, 4);
  Type(view->edtReading, QStringLiteral("ラショウモン"));
  view->close();
  findings->SetUnsavedAsker([] { return TFindingsWindow::Unsaved::kSave; });
  QVERIFY(findings->close());
  QVERIFY(QFile::exists(Saved()));
}

void WindowCorrectionTest::workbookSavesTheRowsShownAndSaysWhere() {
  TfmMain window;
  BoxRecorder boxes;
  TFindingsWindow* findings = Open(window, boxes);
  const QString book = folder_ + QStringLiteral("/一覧.xlsx");
  std::filesystem::path suggested;
  findings->SetSaveChooser([&](const std::filesystem::path& start) {
    suggested = start;
    return std::optional(ToPath(book));
  });
  QTest::mouseClick(findings->btnSaveXlsx, Qt::LeftButton);
  QCOMPARE(ToQString(suggested), folder_ + QStringLiteral("/処理後/処理結果の一覧.xlsx"));
  QVERIFY(ReadBytes(book).startsWith("PK\x03\x04"));  // a zip, as a workbook is
  QCOMPARE(findings->lblStatus->text(), QStringLiteral("Excelブックに保存しました：") + book);
}

QTEST_MAIN(WindowCorrectionTest)
#include "window_correction_test.moc"
