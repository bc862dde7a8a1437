// The main window as built: its size and place, fonts, menu and keyboard
// order.
#include <QAction>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "EditActions.h"
#include "FileListBox.h"
#include "WindowTestSupport.h"
#include "fmain.h"

class WindowLayoutTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void windowIsFixedCentredAndTitled();
  void fontsFallBackToTheIpaFonts_data();
  void fontsFallBackToTheIpaFonts();
  void instructionsAreFourLines();
  void menuHoldsTheExitItem();
  void tabVisitsTheFourControlsInOrder();
};

void WindowLayoutTest::windowIsFixedCentredAndTitled() {
  TfmMain window;
  QCOMPARE(window.windowTitle(), QStringLiteral("Velmoraテキストユーティリティ"));
  QCOMPARE(window.size(), QSize(524, 583));
  QCOMPARE(window.minimumSize(), QSize(524, 583));
  QCOMPARE(window.maximumSize(), QSize(524, 583));
  const Qt::WindowFlags flags = window.windowFlags();
  QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(qAbs(window.geometry().center().x() - screen.center().x()) <= 1);
  QVERIFY(qAbs(window.geometry().center().y() - screen.center().y()) <= 1);
}

void WindowLayoutTest::fontsFallBackToTheIpaFonts_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<int>("pixelSize");
  QTest::addColumn<QStringList>("families");
  const QStringList gothic{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                           QStringLiteral("IPA Pゴシック")};
  const QStringList mincho{QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"),
                           QStringLiteral("IPA明朝")};
  QTest::newRow("window") << QString() << 12 << gothic;
  QTest::newRow("label") << QStringLiteral("Label1") << 12 << gothic;
  QTest::newRow("file list") << QStringLiteral("JvFileListBox1") << 13 << gothic;
  QTest::newRow("log") << QStringLiteral("Memo1") << 12 << mincho;
}

void WindowLayoutTest::fontsFallBackToTheIpaFonts() {
  QFETCH(QString, control);
  QFETCH(int, pixelSize);
  QFETCH(QStringList, families);
  TfmMain window;
  QWidget* widget = control.isEmpty() ? &window : window.findChild<QWidget*>(control);
  QVERIFY(widget != nullptr);
  QCOMPARE(widget->font().families(), families);
  const QFontInfo used(widget->font());
  QCOMPARE(used.pixelSize(), pixelSize);
  // The Windows font where it exists, else one of the IPA fonts that stand in.
  QVERIFY2(families.contains(used.family()), qPrintable(used.family()));
}

void WindowLayoutTest::instructionsAreFourLines() {
  TfmMain window;
  const QStringList lines = window.lblTop->text().split(QLatin1Char('\n'));
  QCOMPARE(
      lines,
      QStringList({
          QStringLiteral("処理を始める前に、"),
          QStringLiteral("\u3000Ａ．デスクトップ等にフォルダを作成（名前は何でもよい）"),
          QStringLiteral("\u3000Ｂ．Ａで作成したフォルダーに、取込用ファイルをＭＯ等からコピー"),
          QStringLiteral("をしてから、以下にある手順１で、Ａで作成したフォルダーを選択して下さい"),
      }));
}

void WindowLayoutTest::menuHoldsTheExitItem() {
  TfmMain window;
  const QList<QAction*> menus = window.MainMenu->actions();
  QCOMPARE(menus.size(), 2);  // then 「表示(&V)」
  QCOMPARE(menus.front(), window.actFile);
  QCOMPARE(menus.front()->menu()->actions(), QList<QAction*>{window.actExit});

  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  window.actExit->trigger();
  QVERIFY(!window.isVisible());
}

void WindowLayoutTest::tabVisitsTheFourControlsInOrder() {
  // The start button only takes the focus when enabled.
  const QString folder = home_.NewFolder(QStringLiteral("tab"));
  WriteLines(folder + QStringLiteral("/a.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  QVERIFY(window.cxButton3->isEnabled());
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));

  window.btnSrcOpen->setFocus();
  const QList<QWidget*> expected{window.JvFileListBox1, window.cxButton3, window.Memo1,
                                 window.btnSrcOpen};
  for (QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), next);
  }
}

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
