// What the program sets up at start, whatever the user's locale: Qt's own
// words in Japanese, the program's icon built in; and the Japanese name of
// its desktop entry.
#include <memory>

#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QtTest>

#include "AppSetup.h"
#include "FolderBrowser.h"
#include "WindowTestSupport.h"
#include "fmain.h"

namespace {

bool IsJapanese(const QString& text) {
  for (const QChar c : text) {
    if ((c >= u'\u3040' && c <= u'\u30FF') || (c >= u'\u4E00' && c <= u'\u9FFF')) return true;
  }
  return false;
}

}  // namespace

class WindowSetupTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void initTestCase();
  void qtWordsInTheWindowAndBrowserAreJapanese();
  void theProgramHasItsIconAndJapaneseName();
};

void WindowSetupTest::initTestCase() {
  // An operator whose desktop runs in English.
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  SetUpApplication(*qApp);
}

void WindowSetupTest::qtWordsInTheWindowAndBrowserAreJapanese() {
  TfmMain window;
  QStringList words;
  const std::unique_ptr<QMenu> edit(window.ui.edtSrcFolder->createStandardContextMenu());
  const std::unique_ptr<QMenu> log(window.ui.Memo1->createStandardContextMenu());
  for (const QMenu* menu : {edit.get(), log.get()}) {
    for (const QAction* action : menu->actions()) {
      if (!action->isSeparator()) words << action->text();
    }
  }
  QFileDialog* browser = window.SelectFolderDialog1->Dialog();
  auto* columns = browser->findChild<QFileSystemModel*>();
  QVERIFY(columns != nullptr);
  for (int column = 0; column < columns->columnCount(); ++column) {
    words << columns->headerData(column, Qt::Horizontal).toString();
  }
  words << QFileIconProvider().type(QFileInfo(home_.Desktop()));
  for (const char* button : {"backButton", "toParentButton", "detailModeButton"}) {
    words << browser->findChild<QWidget*>(QLatin1String(button))->toolTip();
  }
  QStringList english;
  for (const QString& word : words) {
    if (!IsJapanese(word)) english << word;
  }
  QCOMPARE(english, QStringList());
}

void WindowSetupTest::theProgramHasItsIconAndJapaneseName() {
  TfmMain window;
  const QImage icon = window.windowIcon().pixmap(32, 32).toImage();
  QVERIFY(!icon.isNull());
  QVERIFY(QColor(icon.pixel(16, 16)).alpha() > 0);  // drawn, not an empty square

  QFile entry(QStringLiteral(TEXTCNV_APP_DIR "/textcnv.desktop"));
  QVERIFY(entry.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
  QVERIFY(lines.contains(QStringLiteral("Name[ja]=Velmoraテキストユーティリティ")));
}

QTEST_MAIN(WindowSetupTest)
#include "window_setup_test.moc"
