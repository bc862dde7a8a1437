// The main window as built: one table of its controls (kind, caption,
// place and size, font), then its fixed size, menu, keyboard and focus.
#include <optional>

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

namespace {

const QStringList kGothic{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                          QStringLiteral("IPA Pゴシック")};
const QStringList kMincho{QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"),
                          QStringLiteral("IPA明朝")};

// What a control shows as its caption; a null string for controls without.
QString CaptionOf(const QWidget& w) {
  if (w.isWindow()) return w.windowTitle();
  if (auto* label = qobject_cast<const QLabel*>(&w)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(&w)) return button->text();
  if (auto* menu = qobject_cast<const QMenuBar*>(&w)) return menu->actions().value(0)->text();
  return QString();
}

}  // namespace

class WindowLayoutTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void controlIsAsLaidOut_data();
  void controlIsAsLaidOut();
  void windowAsksForAFixedSize();
  void menuHoldsTheExitItem();
  void tabVisitsTheFourControlsInOrder();
  void keysPressTheButtons_data();
  void keysPressTheButtons();
  void theLogShowsAFrameWhileItHasTheFocus();
};

void WindowLayoutTest::controlIsAsLaidOut_data() {
  QTest::addColumn<QString>("control");  // object name; empty for the window
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("caption");  // null: not a captioned control
  QTest::addColumn<QRect>("geometry");   // an empty size: the control's own
  QTest::addColumn<int>("pixelSize");
  QTest::addColumn<QStringList>("families");

  // Centred on the screen.
  QRect window(0, 0, 524, 583);
  window.moveCenter(QGuiApplication::primaryScreen()->availableGeometry().center());
  const QString none;
  QTest::newRow("window") << QString() << "TfmMain"
                          << QStringLiteral("Velmoraテキストユーティリティ") << window << 12
                          << kGothic;
  QTest::newRow("menu") << "MainMenu"
                        << "QMenuBar" << QStringLiteral("ファイル(&F)") << QRect(0, 0, 524, 22)
                        << 12 << kGothic;
  QTest::newRow("panel") << "Panel1"
                         << "QFrame" << none << QRect(28, 28, 460, 71) << 12 << kGothic;
  // Four lines; the middle two start with an ideographic space.
  QTest::newRow("instructions")
      << "lblTop"
      << "QLabel"
      << QStringLiteral(
             "処理を始める前に、\n"
             "\u3000Ａ．デスクトップ等にフォルダを作成（名前は何でもよい）\n"
             "\u3000Ｂ．Ａで作成したフォルダーに、取込用ファイルをＭＯ等からコピー\n"
             "をしてから、以下にある手順１で、Ａで作成したフォルダーを選択して下さい")
      << QRect(11, 7, 438, 58) << 12 << kGothic;
  QTest::newRow("step 1") << "Label1"
                          << "QLabel"
                          << QStringLiteral(
                                 "１．取込用ファイルが入っているフォルダフォルダを選択する")
                          << QRect(10, 111, 0, 0) << 12 << kGothic;
  QTest::newRow("folder") << "edtSrcFolder"
                          << "QLineEdit" << none << QRect(28, 131, 355, 20) << 12 << kGothic;
  QTest::newRow("choose") << "btnSrcOpen"
                          << "QPushButton" << QStringLiteral("フォルダの選択")
                          << QRect(387, 129, 101, 25) << 12 << kGothic;
  QTest::newRow("files label") << "Label2"
                               << "QLabel" << QStringLiteral("変換対象ファイル：")
                               << QRect(28, 159, 0, 0) << 12 << kGothic;
  QTest::newRow("file list") << "JvFileListBox1"
                             << "QListWidget" << none << QRect(28, 175, 460, 107) << 13 << kGothic;
  QTest::newRow("step 2") << "Label3"
                          << "QLabel" << QStringLiteral("２．変換をする") << QRect(10, 299, 0, 0)
                          << 12 << kGothic;
  QTest::newRow("start") << "cxButton3"
                         << "QPushButton" << QStringLiteral("変換スタート")
                         << QRect(28, 325, 84, 25) << 12 << kGothic;
  QTest::newRow("progress") << "progBar"
                            << "QProgressBar" << none << QRect(121, 329, 192, 17) << 12 << kGothic;
  QTest::newRow("log") << "Memo1"
                       << "QPlainTextEdit" << none << QRect(28, 355, 460, 204) << 12 << kMincho;
}

void WindowLayoutTest::controlIsAsLaidOut() {
  QFETCH(QString, control);
  QFETCH(QString, kind);
  QFETCH(QString, caption);
  QFETCH(QRect, geometry);
  QFETCH(int, pixelSize);
  QFETCH(QStringList, families);
  TfmMain window;
  QWidget* widget = control.isEmpty() ? &window : window.findChild<QWidget*>(control);
  QVERIFY(widget != nullptr);
  QVERIFY2(widget->inherits(kind.toLatin1().constData()), widget->metaObject()->className());
  QCOMPARE(CaptionOf(*widget), caption);

  QCOMPARE(widget->pos(), geometry.topLeft());
  // Labels size themselves to their text.
  QCOMPARE(widget->size(), geometry.size().isEmpty() ? widget->sizeHint() : geometry.size());

  QCOMPARE(widget->font().families(), families);
  const QFontInfo used(widget->font());
  QCOMPARE(used.pixelSize(), pixelSize);
  // The Windows font where it exists, else one of the IPA fonts that stand in.
  QVERIFY2(families.contains(used.family()), qPrintable(used.family()));
}

void WindowLayoutTest::windowAsksForAFixedSize() {
  TfmMain window;
  QCOMPARE(window.minimumSize(), QSize(524, 583));
  QCOMPARE(window.maximumSize(), QSize(524, 583));
  QCOMPARE(window.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
  QCOMPARE(window.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
  const Qt::WindowFlags flags = window.windowFlags();
  QVERIFY(flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
  QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
}

void WindowLayoutTest::menuHoldsTheExitItem() {
  TfmMain window;
  const QList<QAction*> menus = window.ui.MainMenu->actions();
  QCOMPARE(menus.size(), 2);  // then 「表示(&V)」
  QCOMPARE(menus.front(), window.findChild<QAction*>(QStringLiteral("actFile")));
  QCOMPARE(menus.front()->menu()->actions(), QList<QAction*>{window.ui.actExit});

  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  window.ui.actExit->trigger();
  QVERIFY(!window.isVisible());
}

void WindowLayoutTest::tabVisitsTheFourControlsInOrder() {
  // The start button only takes the focus when enabled.
  const QString folder = home_.NewFolder(QStringLiteral("tab"));
  WriteLines(folder + QStringLiteral("/a.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  QVERIFY(window.ui.cxButton3->isEnabled());
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));

  window.ui.btnSrcOpen->setFocus();
  const QList<QWidget*> expected{window.ui.JvFileListBox1, window.ui.cxButton3, window.ui.Memo1,
                                 window.ui.btnSrcOpen};
  for (QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), next);
  }
}

void WindowLayoutTest::keysPressTheButtons_data() {
  QTest::addColumn<QString>("focus");
  QTest::addColumn<int>("key");
  QTest::addColumn<bool>("alt");
  QTest::addColumn<QString>("action");
  QTest::newRow("Enter on the folder button")
      << "btnSrcOpen" << int(Qt::Key_Return) << false << "actSrcFolderSelect";
  QTest::newRow("Alt+S") << "Memo1" << int(Qt::Key_S) << true << "actSrcFolderSelect";
  QTest::newRow("Enter on the start button")
      << "cxButton3" << int(Qt::Key_Return) << false << "actConvStart";
  QTest::newRow("Alt+R") << "Memo1" << int(Qt::Key_R) << true << "actConvStart";
}

void WindowLayoutTest::keysPressTheButtons() {
  QFETCH(QString, focus);
  QFETCH(int, key);
  QFETCH(bool, alt);
  QFETCH(QString, action);
  const QString folder = home_.NewFolder(QStringLiteral("keys/") + QTest::currentDataTag());
  WriteLines(folder + QStringLiteral("/a.txt"), {RecordLine(1, "K1", "書名", "ショメイ")});
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  window.SetFolderChooser([] { return std::optional<std::filesystem::path>(); });
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QWidget* focused = window.findChild<QWidget*>(focus);
  focused->setFocus();

  QSignalSpy triggered(window.findChild<QAction*>(action), &QAction::triggered);
  QSignalSpy ended(&window, &TfmMain::RunEnded);
  // Through the window system, as a key press comes, shortcuts included.
  QTest::keyClick(window.windowHandle(), Qt::Key(key), alt ? Qt::AltModifier : Qt::NoModifier);
  // A mnemonic clicks the button the way a mouse would: after a moment.
  QTRY_COMPARE(triggered.size(), 1);
  // A started run is let finish before the window goes.
  if (window.IsWorking()) QVERIFY(ended.wait(120000));
}

void WindowLayoutTest::theLogShowsAFrameWhileItHasTheFocus() {
  TfmMain window;
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  window.ui.btnSrcOpen->setFocus();
  const QImage unfocused = window.ui.Memo1->grab().toImage();
  window.ui.Memo1->setFocus();
  QVERIFY(window.ui.Memo1->hasFocus());
  const QImage focused = window.ui.Memo1->grab().toImage();
  // The middle of the left edge: frame only, no scroll bar.
  const QPoint edge(0, focused.height() / 2);
  QCOMPARE(QColor(focused.pixel(edge)), window.ui.Memo1->palette().color(QPalette::Highlight));
  QVERIFY(unfocused.pixel(edge) != focused.pixel(edge));
}

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
