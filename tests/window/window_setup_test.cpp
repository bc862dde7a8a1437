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

QStringList NotJapanese(const QMenu& menu) {
  QStringList english;
  for (const QAction* action : menu.actions()) {
    if (!action->isSeparator() && !IsJapanese(action->text())) english << action->text();
  }
  return english;
}

}  // namespace

class WindowSetupTest : public QObject {
  Q_OBJECT
  PrivateHome home_;

 private slots:
  void initTestCase();
  void qtWordsAreJapanese_data();
  void qtWordsAreJapanese();
  void editMenusAreJapanese();
  void browserColumnsAreJapanese();
  void windowHasTheProgramIcon();
  void desktopEntryNamesTheProgramInJapanese();
};

void WindowSetupTest::initTestCase() {
  // An operator whose desktop runs in English.
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  SetUpApplication(*qApp);
}

void WindowSetupTest::qtWordsAreJapanese_data() {
  QTest::addColumn<QString>("context");
  QTest::addColumn<QString>("source");
  QTest::newRow("browser: look in") << "QFileDialog" << "Look in:";
  QTest::newRow("browser: back tooltip") << "QFileDialog" << "Back";
  QTest::newRow("browser: parent tooltip") << "QFileDialog" << "Parent Directory";
  QTest::newRow("browser: hidden files") << "QFileDialog" << "Show &hidden files";
  QTest::newRow("browser: name column") << "QFileSystemModel" << "Name";
  QTest::newRow("browser: folder type") << "QAbstractFileIconProvider" << "Folder";
  QTest::newRow("edit: copy") << "QLineEdit" << "&Copy";
  QTest::newRow("log: select all") << "QWidgetTextControl" << "Select All";
}

void WindowSetupTest::qtWordsAreJapanese() {
  QFETCH(QString, context);
  QFETCH(QString, source);
  const QString shown =
      QCoreApplication::translate(context.toLatin1().constData(), source.toLatin1().constData());
  QVERIFY2(IsJapanese(shown), qPrintable(shown));
}

void WindowSetupTest::editMenusAreJapanese() {
  TfmMain window;
  const std::unique_ptr<QMenu> edit(window.edtSrcFolder->createStandardContextMenu());
  const std::unique_ptr<QMenu> log(window.Memo1->createStandardContextMenu());
  QCOMPARE(NotJapanese(*edit), QStringList());
  QCOMPARE(NotJapanese(*log), QStringList());
}

void WindowSetupTest::browserColumnsAreJapanese() {
  TfmMain window;
  auto* model = window.SelectFolderDialog1->Dialog()->findChild<QFileSystemModel*>();
  QVERIFY(model != nullptr);
  for (int column = 0; column < model->columnCount(); ++column) {
    const QString title = model->headerData(column, Qt::Horizontal).toString();
    QVERIFY2(IsJapanese(title), qPrintable(title));
  }
  const QString folderType = QFileIconProvider().type(QFileInfo(home_.Desktop()));
  QVERIFY2(IsJapanese(folderType), qPrintable(folderType));
}

void WindowSetupTest::windowHasTheProgramIcon() {
  TfmMain window;
  const QImage icon = window.windowIcon().pixmap(32, 32).toImage();
  QVERIFY(!icon.isNull());
  // Drawn, not an empty square.
  QVERIFY(QColor(icon.pixel(16, 16)).alpha() > 0 || QColor(icon.pixel(8, 16)).alpha() > 0);
}

void WindowSetupTest::desktopEntryNamesTheProgramInJapanese() {
  QFile entry(QStringLiteral(TEXTCNV_APP_DIR "/textcnv.desktop"));
  QVERIFY(entry.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
  QVERIFY(lines.contains(QStringLiteral("Name[ja]=Velmoraテキストユーティリティ")));
}

QTEST_MAIN(WindowSetupTest)
#include "window_setup_test.moc"
