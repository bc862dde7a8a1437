// Message boxes: how a box request becomes a Qt box, that boxes asked for off
// the GUI thread are shown on it, and that a failure reaching the top is
// shown in the application's error box while the program goes on.
#include <atomic>
#include <stdexcept>
#include <thread>

#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextLayout>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include "BoxPresenter.h"
#include "ConversionRun.h"
#include "TopLevel.h"
#include "WindowRunHost.h"
#include "WindowTestSupport.h"
#include "fmain.h"
#include "quenText.h"

class WindowBoxesTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void flagsChooseTheIcon_data();
  void flagsChooseTheIcon();
  void aBoxHasOneOkButtonAndItsTexts_data();
  void aBoxHasOneOkButtonAndItsTexts();
  void boxLinesBreakOnlyBetweenWords_data();
  void boxLinesBreakOnlyBetweenWords();
  void aShortBoxIsWideEnoughForItsCaptionAndOffersItsCopy_data();
  void aShortBoxIsWideEnoughForItsCaptionAndOffersItsCopy();
  void boxesFromAWorkerAreShownOnTheGuiThread();
  void aBurstOfLogLinesLetsTheWindowBreatheAndComesBeforeTheBox();
  void theWindowRoutesMBoxWhileItLives();
  void aFailureInAHandlerIsShownAndTheProgramGoesOn_data();
  void aFailureInAHandlerIsShownAndTheProgramGoesOn();
};

void WindowBoxesTest::flagsChooseTheIcon_data() {
  QTest::addColumn<unsigned>("flags");
  QTest::addColumn<QMessageBox::Icon>("icon");
  QTest::newRow("none") << 0u << QMessageBox::NoIcon;
  QTest::newRow("stop") << unsigned(MBox::kIconError) << QMessageBox::Critical;
  QTest::newRow("question") << 0x20u << QMessageBox::Question;
  QTest::newRow("warning") << 0x30u << QMessageBox::Warning;
  QTest::newRow("information") << unsigned(MBox::kIconInformation) << QMessageBox::Information;
  QTest::newRow("information, topmost, 2nd button")
      << unsigned(MBox::kIconInformation | MBox::kTopmost | MBox::kDefButton2)
      << QMessageBox::Information;
}

void WindowBoxesTest::flagsChooseTheIcon() {
  QFETCH(unsigned, flags);
  QFETCH(QMessageBox::Icon, icon);
  QCOMPARE(IconOf(flags), icon);
}

void WindowBoxesTest::aBoxHasOneOkButtonAndItsTexts_data() {
  QTest::addColumn<unsigned>("flags");
  QTest::addColumn<QMessageBox::Icon>("icon");
  QTest::newRow("error") << unsigned(MBox::kIconError) << QMessageBox::Critical;
  QTest::newRow("information") << unsigned(MBox::kIconInformation) << QMessageBox::Information;
}

void WindowBoxesTest::aBoxHasOneOkButtonAndItsTexts() {
  QFETCH(unsigned, flags);
  QFETCH(QMessageBox::Icon, icon);
  QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
  QString shownTitle;
  QString shownText;
  QList<QAbstractButton*> buttons;
  QTimer::singleShot(0, [&] {
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() != nullptr, 30000);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    shownIcon = box->icon();
    shownTitle = box->windowTitle();
    shownText = box->text();
    buttons = box->buttons();
    box->button(QMessageBox::Ok)->click();
  });
  const MessageBoxRequest request{
      quenText::FromUtf8(" 処理後フォルダー/x が作成できません\r\n処理を中断します。"),
      quenText::FromUtf8("Textcnv"), flags};
  QCOMPARE(ShowMessageBox(nullptr, request), MBox::kIdOk);
  QCOMPARE(shownIcon, icon);
  QCOMPARE(shownTitle, QStringLiteral("Textcnv"));
  QCOMPARE(shownText, QStringLiteral(" 処理後フォルダー/x が作成できません\n処理を中断します。"));
  QCOMPARE(buttons.size(), 1);
}

namespace {

// The lines of a label as a text layout of its font and width breaks them.
QStringList LaidOutLines(const QLabel& label) {
  QStringList lines;
  for (const QString& paragraph : label.text().split(QLatin1Char('\n'))) {
    QTextLayout layout(paragraph, label.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(label.contentsRect().width());
      lines << paragraph.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
  }
  return lines;
}

}  // namespace

void WindowBoxesTest::boxLinesBreakOnlyBetweenWords_data() {
  QTest::addColumn<QString>("message");
  QTest::addColumn<int>("lines");
  // A file error with the system's reason on a second line.
  QTest::newRow("path and reason")
      << QStringLiteral(
             " /home/operator/デスクトップ/取込データ/処理後/"
             "重複エラー.txt が作成できません\r\nそのようなファイルやディレクトリはありません")
      << 2;
  // Wider than any box: it may break after 、 and 。 only.
  QTest::newRow("long sentence")
      << QStringLiteral(
             "変換処理中は終了できません。処理が終わってから、変換結果のフォルダーを確認し、"
             "取込用ファイルと重複エラーのファイルと書名なしのファイルを開いて、"
             "内容に誤りがないことを確かめてから閉じて下さい。")
      << -1;
}

void WindowBoxesTest::boxLinesBreakOnlyBetweenWords() {
  QFETCH(QString, message);
  QFETCH(int, lines);
  QStringList shown;
  Qt::TextInteractionFlags interaction;
  QTimer::singleShot(0, [&] {
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() != nullptr, 30000);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    QVERIFY(label != nullptr);
    shown = LaidOutLines(*label);
    interaction = label->textInteractionFlags();
    box->button(QMessageBox::Ok)->click();
  });
  QString utf8 = message;
  const MessageBoxRequest request{quenText::FromUtf8(utf8.toStdString()),
                                  quenText::FromUtf8("Textcnv"), MBox::kIconError};
  ShowMessageBox(nullptr, request);

  QVERIFY(interaction.testFlag(Qt::TextSelectableByMouse));
  QVERIFY(interaction.testFlag(Qt::TextSelectableByKeyboard));
  // Nothing lost or added but line breaks.
  QCOMPARE(shown.join(QString()), utf8.remove(QStringLiteral("\r\n")));
  if (lines > 0) QCOMPARE(shown.size(), lines);
  const QStringList paragraphs = message.split(QStringLiteral("\r\n"));
  for (const QString& line : shown) {
    const bool wholeEnd = std::any_of(paragraphs.begin(), paragraphs.end(),
                                      [&](const QString& p) { return p.endsWith(line); });
    const QChar last = line.isEmpty() ? QChar() : line.back();
    QVERIFY2(wholeEnd || last == u'、' || last == u'。' || last == u' ', qPrintable(line));
  }
}

void WindowBoxesTest::aShortBoxIsWideEnoughForItsCaptionAndOffersItsCopy_data() {
  QTest::addColumn<QString>("copy");
  QTest::newRow("OK only") << QString();
  QTest::newRow("with a path to copy") << QStringLiteral("/home/operator/取込/処理後");
}

void WindowBoxesTest::aShortBoxIsWideEnoughForItsCaptionAndOffersItsCopy() {
  QFETCH(QString, copy);
  QGuiApplication::clipboard()->clear();
  int width = 0;
  int captionWidth = 0;
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() != nullptr, 30000);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    width = box->width();
    captionWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                       .horizontalAdvance(box->windowTitle());
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    auto* copyButton = box->findChild<QPushButton*>(QStringLiteral("copyButton"));
    (copyButton != nullptr ? static_cast<QAbstractButton*>(copyButton)
                           : box->button(QMessageBox::Ok))
        ->click();
  });
  MessageBoxRequest request{quenText::FromUtf8("終了しました"), quenText::FromUtf8("Textcnv"),
                            MBox::kIconInformation};
  request.copyText = copy.toStdString();
  QCOMPARE(ShowMessageBox(nullptr, request), MBox::kIdOk);
  // The window manager puts its icon and buttons beside the caption.
  QVERIFY2(width >= captionWidth + 120, qPrintable(QStringLiteral("%1").arg(width)));
  if (copy.isEmpty()) {
    QCOMPARE(buttons.size(), 1);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
  } else {
    QCOMPARE(buttons.size(), 2);
    QVERIFY(buttons.contains(QStringLiteral("コピー")));
    QCOMPARE(QGuiApplication::clipboard()->text(), copy);
  }
}

void WindowBoxesTest::boxesFromAWorkerAreShownOnTheGuiThread() {
  TBoxPresenter presenter(nullptr);
  QList<bool> onGuiThread;
  presenter.SetShower([&](const MessageBoxRequest& box) {
    onGuiThread << (QThread::currentThread() == qApp->thread());
    return box.text == "7" ? 7 : MBox::kIdOk;
  });
  std::atomic<int> answer = 0;
  std::thread worker([&] { answer = presenter.Present({"7", "", MBox::kIconInformation}); });
  // The worker waits until this thread serves its box.
  QTRY_COMPARE_WITH_TIMEOUT(answer.load(), 7, 30000);
  worker.join();
  QCOMPARE(presenter.Present({"1", "", 0}), MBox::kIdOk);
  QCOMPARE(onGuiThread, QList<bool>({true, true}));

  // A box that cannot be shown fails the worker's call instead of leaving
  // it waiting for ever.
  presenter.SetShower([](const MessageBoxRequest&) -> int { throw std::runtime_error("no"); });
  std::atomic<bool> rethrown = false;
  std::thread failing([&] {
    try {
      presenter.Present({"x", "", 0});
    } catch (const std::runtime_error&) {
      rethrown = true;
    }
  });
  QTRY_VERIFY_WITH_TIMEOUT(rethrown.load(), 30000);
  failing.join();

  presenter.SetClosing(true);
  QCOMPARE(presenter.Present({"7", "", 0}), MBox::kIdOk);
  QCOMPARE(onGuiThread.size(), 2);
}

void WindowBoxesTest::aBurstOfLogLinesLetsTheWindowBreatheAndComesBeforeTheBox() {
  // As the run's summary does: thousands of lines from the worker, then the
  // closing box. The window keeps serving its timers meanwhile, and the box
  // comes only after the last line.
  constexpr int kLines = 20000;
  TWindowRunHost host;
  TBoxPresenter presenter(nullptr);
  connect(&presenter, &TBoxPresenter::handingOver, &host, &TWindowRunHost::SendLog,
          Qt::DirectConnection);
  QPlainTextEdit log;
  int linesShown = 0;
  connect(&host, &TWindowRunHost::logAppended, &log, [&](const QStringList& lines) {
    for (const QString& line : lines) log.appendPlainText(line);
    linesShown += lines.size();
  });
  int linesAtBox = -1;
  presenter.SetShower([&](const MessageBoxRequest&) {
    linesAtBox = linesShown;
    return MBox::kIdOk;
  });
  int ticksMidway = 0;
  QTimer ticker;
  connect(&ticker, &QTimer::timeout, [&] {
    if (linesShown > 0 && linesShown < kLines) ++ticksMidway;
  });
  ticker.start(0);

  std::thread worker([&] {
    for (int i = 0; i < kLines; ++i)
      host.LogAppended({}, "978-4-00-310003-5 :line " + std::to_string(i));
    presenter.Present({"done", "", MBox::kIconInformation});
  });
  QTRY_COMPARE_WITH_TIMEOUT(linesAtBox, kLines, 60000);
  worker.join();
  QVERIFY2(ticksMidway > 0, "the lines were delivered in one stretch");
  QCOMPARE(log.document()->blockCount(), kLines);
}

void WindowBoxesTest::theWindowRoutesMBoxWhileItLives() {
  {
    TfmMain window;
    BoxRecorder boxes;
    boxes.Attach(window);
    MBox::Info(quenText::FromUtf8("テスト"));
    QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("テスト")});
  }
  // Gone with the window: the next box goes to the default presenter.
  QCOMPARE(MBox::SetPresenter(nullptr), nullptr);
}

void WindowBoxesTest::aFailureInAHandlerIsShownAndTheProgramGoesOn_data() {
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("shown");
  QTest::newRow("Japanese ending")
      << QStringLiteral("フォルダーを読めません") << QStringLiteral("フォルダーを読めません.");
  QTest::newRow("letter ending") << QStringLiteral("failed") << QStringLiteral("failed.");
  QTest::newRow("full stop ending") << QStringLiteral("failed.") << QStringLiteral("failed.");
  QTest::newRow("hyphen ending") << QStringLiteral("code -") << QStringLiteral("code -");
  // A reason of the system's already ends in its full stop.
  QTest::newRow("ideographic full stop") << QStringLiteral("失敗。") << QStringLiteral("失敗。");
}

void WindowBoxesTest::aFailureInAHandlerIsShownAndTheProgramGoesOn() {
  QFETCH(QString, message);
  QFETCH(QString, shown);
  const QString folder = home_.NewFolder(QStringLiteral("after"));
  WriteBytes(folder + QStringLiteral("/a.txt"), "a");
  TfmMain window;
  BoxRecorder boxes(window);
  const QString before = window.ui.edtSrcFolder->text();
  window.SetFolderChooser([message]() -> std::optional<std::filesystem::path> {
    throw std::runtime_error(message.toStdString());
  });
  window.ui.actSrcFolderSelect->trigger();
  QCOMPARE(boxes.boxes.size(), 1);
  const RecordedBox& box = boxes.boxes.front();
  QCOMPARE(box.text, shown);
  QCOMPARE(box.caption, QString::fromStdString(quenText::ToUtf8(MBox::ApplicationTitle())));
  QCOMPARE(box.flags, unsigned(MBox::kIconError));
  QCOMPARE(window.ui.edtSrcFolder->text(), before);

  ConfirmFolder(window, folder);
  QCOMPARE(window.ui.edtSrcFolder->text(), folder);
  QVERIFY(window.ui.cxButton3->isEnabled());
}

QTEST_MAIN(WindowBoxesTest)
#include "window_boxes_test.moc"
