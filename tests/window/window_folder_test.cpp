// Choosing the folder: what the window shows at start, after a folder is
// confirmed, for an empty folder and when the browser is cancelled; the
// browser itself; how the file list shows long and CP932 names.
#include <unistd.h>

#include <fstream>
#include <functional>

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include "FileListBox.h"
#include "FolderBrowser.h"
#include "PathText.h"
#include "WindowTestSupport.h"
#include "fmain.h"
#include "quenText.h"

namespace {

const QString kNoFiles = QStringLiteral("指定したフォルダーにはファイルがありません");

// Runs act on the real browser once it is up; cancels it if act left it open.
void WhenUp(QFileDialog* dialog, std::function<void()> act) {
  QTimer::singleShot(0, dialog, [dialog, act = std::move(act)] {
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isVisible(), 30000);
    act();
    if (dialog->isVisible()) dialog->reject();
  });
}

QString Made(const QString& path) {
  QDir().mkpath(path);
  return path;
}

QAbstractButton* ChooseButton(QFileDialog* dialog) {
  return dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
}

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
  void browserStartsAtTheDesktopThenBesideTheLastFolder();
  void enterConfirmsTheHighlightedFolder();
  void browserNeverShowsAFolderAboveTheDesktop();
  void chooseIsEnabledWheneverAFolderCanBeConfirmed();
  void browserButtonsStandSideBySideAtTheBottomRight();
  void browserKeepsNothingInTheUsersSettings();
  void aLongNameIsShortenedInTheMiddleAndShownWholeAsATip();
  void namesInCp932BytesAreShownAsTheirText_data();
  void namesInCp932BytesAreShownAsTheirText();
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
  QCOMPARE(boxes.boxes.front().flags, unsigned(MBox::kIconInformation));
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
  QCOMPARE(boxes.Texts(),
           QStringList{QStringLiteral(
               "終了しました\r\n取込用 1件 / 重複 0件 / 書名なし 0件 / ＮＤＣ桁数 0件")});
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

void WindowFolderTest::browserStartsAtTheDesktopThenBesideTheLastFolder() {
  const QString target = Made(home_.Desktop() + QStringLiteral("/browsed"));
  WriteBytes(target + QStringLiteral("/x.txt"), "x");
  TfmMain window;
  BoxRecorder boxes(window);
  QFileDialog* dialog = window.SelectFolderDialog1->Dialog();

  QString openedAt;
  QStringList selectedAtOpen;
  QStringList titles;  // shown inside, above the list
  const auto noteOpening = [&] {
    openedAt = dialog->directory().absolutePath();
    selectedAtOpen = dialog->selectedFiles();
    const QWidget* list = dialog->findChild<QWidget*>(QStringLiteral("listView"));
    const int listTop = list->mapTo(dialog, QPoint()).y();
    titles.clear();
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
      if (label->isVisible() && label->mapTo(dialog, QPoint()).y() < listTop)
        titles << label->text();
    }
  };
  WhenUp(dialog, [&] {
    noteOpening();
    dialog->setDirectory(target);
    static_cast<QDialog*>(dialog)->accept();  // the browser's own checks run
  });
  window.actSrcFolderSelect->trigger();
  QCOMPARE(openedAt, home_.Desktop());
  QVERIFY2(titles.contains(QStringLiteral("フォルダの選択")), qPrintable(titles.join(',')));
  QCOMPARE(window.edtSrcFolder->text(), target);
  QCOMPARE(window.JvFileListBox1->Names(), QStringList{"x.txt"});

  // Next time in the folder holding it, with it selected; then cancelled.
  WhenUp(dialog, noteOpening);
  window.actSrcFolderSelect->trigger();
  QCOMPARE(openedAt, QFileInfo(target).absolutePath());
  QCOMPARE(selectedAtOpen, QStringList{target});
  QCOMPARE(window.edtSrcFolder->text(), target);
  QCOMPARE(ToQString(window.SelectFolderDialog1->Folder()), target);
  QVERIFY(window.cxButton3->isEnabled());
  QVERIFY(boxes.boxes.isEmpty());
}

void WindowFolderTest::enterConfirmsTheHighlightedFolder() {
  const QString last = Made(home_.Desktop() + QStringLiteral("/enter/last"));
  const QString other = Made(home_.Desktop() + QStringLiteral("/enter/other"));
  Made(other + QStringLiteral("/inner"));
  WriteBytes(last + QStringLiteral("/l.txt"), "l");
  WriteBytes(other + QStringLiteral("/o.txt"), "o");
  TfmMain window;
  BoxRecorder boxes(window);
  QFileDialog* dialog = window.SelectFolderDialog1->Dialog();
  WhenUp(dialog, [&] {
    dialog->setDirectory(last);
    static_cast<QDialog*>(dialog)->accept();
  });
  window.actSrcFolderSelect->trigger();
  QCOMPARE(window.edtSrcFolder->text(), last);

  // It opens with its list holding the keys, on the last folder.
  QString current;
  bool closedByEnter = false;
  WhenUp(dialog, [&] {
    QTRY_VERIFY(qobject_cast<QAbstractItemView*>(dialog->focusWidget()) != nullptr);
    auto* list = qobject_cast<QAbstractItemView*>(dialog->focusWidget());
    current = list->currentIndex().data(QFileSystemModel::FilePathRole).toString();
    QTest::keyClick(list, Qt::Key_Return);
    closedByEnter = !dialog->isVisible();
  });
  window.actSrcFolderSelect->trigger();
  QCOMPARE(current, last);
  QVERIFY(closedByEnter);
  QCOMPARE(ToQString(window.SelectFolderDialog1->Folder()), last);

  // Another folder, highlighted by the keys: Enter confirms it, not opens it.
  WhenUp(dialog, [&] {
    QTRY_VERIFY(qobject_cast<QAbstractItemView*>(dialog->focusWidget()) != nullptr);
    auto* list = qobject_cast<QAbstractItemView*>(dialog->focusWidget());
    QTest::keyClick(list, Qt::Key_Down);
    QTRY_COMPARE(list->currentIndex().data(QFileSystemModel::FilePathRole).toString(), other);
    QTest::keyClick(list, Qt::Key_Return);
  });
  window.actSrcFolderSelect->trigger();
  QCOMPARE(window.edtSrcFolder->text(), other);
  QCOMPARE(window.JvFileListBox1->Names(), QStringList{"o.txt"});
  QVERIFY(boxes.boxes.isEmpty());
}

void WindowFolderTest::browserNeverShowsAFolderAboveTheDesktop() {
  const QString inside = Made(home_.Desktop() + QStringLiteral("/above/inside"));
  const QString above = QFileInfo(home_.Desktop()).absolutePath();
  TfmMain window;
  QFileDialog* dialog = window.SelectFolderDialog1->Dialog();
  auto* up = dialog->findChild<QAbstractButton*>(QStringLiteral("toParentButton"));
  auto* back = dialog->findChild<QAbstractButton*>(QStringLiteral("backButton"));
  QStringList shown;
  // Where it stands once what it does next has been done.
  const auto note = [&] {
    QTest::qWait(50);
    shown << dialog->directory().absolutePath();
  };
  WhenUp(dialog, [&] {
    note();
    // Nothing above from the start: not up, and not back either.
    QVERIFY(!up->isEnabled());
    if (back->isEnabled()) back->click();
    note();
    auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    QTest::keyClick(list, Qt::Key_Backspace);
    note();
    // In a folder inside, up leads to the desktop and no further.
    dialog->setDirectory(inside);
    QVERIFY(up->isEnabled());
    up->click();
    up->click();
    note();
    QVERIFY(!up->isEnabled());
    // The places above, as the place combo offers them, lead back to it.
    dialog->setDirectory(above);
    QTRY_COMPARE(dialog->directory().absolutePath(), home_.Desktop());
    if (back->isEnabled()) back->click();
    QTRY_VERIFY(dialog->directory().absolutePath().startsWith(home_.Desktop()));
  });
  window.actSrcFolderSelect->trigger();
  const QStringList desktop(4, home_.Desktop());
  QCOMPARE(shown, desktop);
}

void WindowFolderTest::chooseIsEnabledWheneverAFolderCanBeConfirmed() {
  const QString deep = Made(home_.Desktop() + QStringLiteral("/choose/deep"));
  const QString parent = QFileInfo(deep).absolutePath();
  TfmMain window;
  BoxRecorder boxes(window);
  QFileDialog* dialog = window.SelectFolderDialog1->Dialog();
  WhenUp(dialog, [&] {
    dialog->setDirectory(parent);
    dialog->selectFile(deep);
    QTRY_VERIFY(ChooseButton(dialog)->isEnabled());
    // Up from there: the folder shown can be confirmed, so 選択 can be pressed.
    dialog->findChild<QAbstractButton*>(QStringLiteral("toParentButton"))->click();
    QCOMPARE(dialog->directory().absolutePath(), home_.Desktop());
    QTest::qWait(50);
    QVERIFY(ChooseButton(dialog)->isEnabled());
    dialog->setDirectory(parent);
    QTest::qWait(50);
    QVERIFY(ChooseButton(dialog)->isEnabled());
    ChooseButton(dialog)->click();
  });
  window.actSrcFolderSelect->trigger();
  QCOMPARE(ToQString(window.SelectFolderDialog1->Folder()), parent);
}

void WindowFolderTest::browserButtonsStandSideBySideAtTheBottomRight() {
  TfmMain window;
  QFileDialog* dialog = window.SelectFolderDialog1->Dialog();
  QRect choose, cancel, list;
  int width = 0;
  WhenUp(dialog, [&] {
    QTest::qWait(100);  // laid out
    const auto placed = [dialog](const QWidget* w) {
      return QRect(w->mapTo(dialog, QPoint()), w->size());
    };
    choose = placed(ChooseButton(dialog));
    cancel = placed(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel));
    list = placed(dialog->findChild<QWidget*>(QStringLiteral("stackedWidget")));
    width = dialog->width();
  });
  window.actSrcFolderSelect->trigger();
  QCOMPARE(choose.top(), cancel.top());
  QVERIFY(!choose.intersects(cancel));
  QVERIFY2(choose.top() > list.bottom(), "below the list");
  QVERIFY2(std::max(choose.right(), cancel.right()) > width - 30, "at the right");
  QVERIFY2(std::min(choose.left(), cancel.left()) > width / 2, "not across the bottom");
}

void WindowFolderTest::browserKeepsNothingInTheUsersSettings() {
  const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  const QString home = qEnvironmentVariable("HOME");
  // What another program of Qt left there is not taken.
  WriteBytes(config + QStringLiteral("/QtProject.conf"),
             "[FileDialog]\nviewMode=List\nsidebarWidth=5\n");
  {
    TfmMain window;
    QCOMPARE(window.SelectFolderDialog1->Dialog()->viewMode(), QFileDialog::Detail);
  }
  QFile::remove(config + QStringLiteral("/QtProject.conf"));

  // Nor does the browser leave anything there.
  const auto entries = [](const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  };
  const QStringList configBefore = entries(config);
  const QStringList homeBefore = entries(home);
  const QString browsed = Made(home_.Desktop() + QStringLiteral("/settings"));
  {
    TfmMain window;
    QFileDialog* dialog = window.SelectFolderDialog1->Dialog();
    WhenUp(dialog, [&] {
      dialog->setViewMode(QFileDialog::List);
      dialog->setDirectory(browsed);
    });
    window.actSrcFolderSelect->trigger();
  }
  QCOMPARE(entries(config), configBefore);
  QCOMPARE(entries(home), homeBefore);
}

void WindowFolderTest::aLongNameIsShortenedInTheMiddleAndShownWholeAsATip() {
  const QString folder = home_.NewFolder(QStringLiteral("long"));
  const QString longName =
      QStringLiteral("2024年度_第3四半期_受入れ分_図書館システム取込用_書誌レコード_最終版.txt");
  // Enough rows for a scroll bar, the long name not the last one (whose
  // width Qt takes for all rows): every row must fit what is left.
  WriteBytes(folder + QLatin1Char('/') + longName, "x");
  for (const char* name : {"a", "b", "c", "d", "e", "f", "g"}) {
    WriteBytes(folder + QLatin1Char('/') + QLatin1String(name), "x");
  }
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  TFileListBox* list = window.JvFileListBox1;
  const QList<QListWidgetItem*> found = list->findItems(longName, Qt::MatchExactly);
  QCOMPARE(found.size(), 1);
  QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
  QTRY_VERIFY(list->verticalScrollBar()->isVisible());
  for (int row = 0; row < list->count(); ++row) {
    QVERIFY2(list->visualItemRect(list->item(row)).width() <= list->viewport()->width(),
             qPrintable(list->item(row)->text()));
  }
  QVERIFY(!list->horizontalScrollBar()->isVisible());
  QCOMPARE(found.front()->toolTip(), longName);
}

void WindowFolderTest::namesInCp932BytesAreShownAsTheirText_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<bool>("hasIcon");
  QTest::newRow("CP932") << QByteArray::fromStdString(quenText::FromUtf8("書誌データ.txt"))
                         << QStringLiteral("書誌データ.txt") << true;
  // These UTF-8 bytes are valid CP932 too: UTF-8 comes first.
  QTest::newRow("UTF-8") << QStringLiteral("書誌データ.txt").toUtf8()
                         << QStringLiteral("書誌データ.txt") << true;
  // 0x81 0x20 is neither: Qt's decoding stands, whatever it shows.
  QTest::newRow("neither") << QByteArray("\x81\x20x.txt")
                           << QFile::decodeName(QByteArray("\x81\x20x.txt")) << false;
}

void WindowFolderTest::namesInCp932BytesAreShownAsTheirText() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, shown);
  QFETCH(bool, hasIcon);
  const QString folder = home_.NewFolder(QStringLiteral("names/") + QTest::currentDataTag());
  const std::string record = RecordLine(1, "N1", "書名", "ショメイ");
  {
    std::ofstream file(std::filesystem::path(QFile::encodeName(folder).toStdString()) /
                       bytes.toStdString());
    file << record << "\r\n";
  }
  TfmMain window;
  BoxRecorder boxes(window);
  ConfirmFolder(window, folder);
  QCOMPARE(window.JvFileListBox1->Names(), QStringList{shown});
  if (hasIcon) QVERIFY(!window.JvFileListBox1->item(0)->icon().isNull());

  // The run opens the file by its real bytes.
  QVERIFY(RunToEnd(window));
  QVERIFY(ReadBytes(folder + QStringLiteral("/処理後/取込用.txt"))
              .contains(QByteArray::fromStdString(record)));
}

QTEST_MAIN(WindowFolderTest)
#include "window_folder_test.moc"
