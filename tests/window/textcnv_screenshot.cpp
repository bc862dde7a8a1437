// textcnv-screenshot FOLDER OUTPUT.png [BROWSER.png [FINDINGS.png]]: builds
// the main window, confirms FOLDER in the folder browser, runs the
// conversion with its boxes answered unseen (their texts go to stderr) and
// saves a picture of the window. With BROWSER.png it then opens the folder
// browser again, as the operator would for the next folder, and saves it
// over the window; with FINDINGS.png it also saves the findings window over
// the main window. Exit status 1 when FOLDER has nothing to convert or a
// picture cannot be saved. Used by scripts/screenshot.sh under Xvfb.
//
// textcnv-screenshot --start [OPTION...]: the window program as TextCnv
// starts it, driven as TextCnvDriver.h says, for the start-up tests (also
// under wine) and the Windows picture.
#include <cstdio>
#include <cstring>
#include <functional>

#include <QAbstractItemView>
#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QTimer>

#include "AppSetup.h"
#include "FindingsShot.h"
#include "FolderBrowser.h"
#include "TextCnvDriver.h"
#include "TopLevel.h"
#include "fmain.h"
#include "quenText.h"

namespace {

// Runs act once the browser is up, its list holding the keys.
void WhenUp(QFileDialog* dialog, std::function<void()> act) {
  QTimer::singleShot(0, dialog, [dialog, act = std::move(act)] {
    const bool up =
        dialog->isVisible() && qobject_cast<QAbstractItemView*>(dialog->focusWidget()) != nullptr;
    if (!up) return WhenUp(dialog, act);
    act();
  });
}

// The window with the browser over it, on a plain backdrop: no window
// manager draws frames here.
QImage BrowserOverWindow(QWidget& window, QWidget& browser) {
  const QRect area = window.geometry().united(browser.geometry()).adjusted(-8, -8, 8, 8);
  QImage picture(area.size(), QImage::Format_RGB32);
  picture.fill(QColor(0x6e, 0x7f, 0x96));
  QPainter painter(&picture);
  painter.drawPixmap(window.geometry().topLeft() - area.topLeft(), window.grab());
  const QRect dialog = browser.geometry().translated(-area.topLeft());
  painter.drawPixmap(dialog.topLeft(), browser.grab());
  painter.setPen(QColor(0x30, 0x30, 0x30));
  painter.drawRect(dialog.adjusted(-1, -1, 0, 0));
  return picture;
}

bool Save(const QImage& picture, const QString& output) {
  const bool saved = picture.save(output, "PNG");
  if (!saved) std::fprintf(stderr, "cannot save %s\n", qPrintable(output));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--start") == 0) return DriveTextCnv(argc, argv);
  TApplication app(argc, argv);
  SetUpApplication(app);
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr,
                 "usage: textcnv-screenshot FOLDER OUTPUT.png [BROWSER.png [FINDINGS.png]]\n");
    return 2;
  }
  const QString folder = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  const QString output = QString::fromLocal8Bit(argv[2]);
  const QString browserOutput = argc >= 4 ? QString::fromLocal8Bit(argv[3]) : QString();
  const QString findings = argc == 5 ? QString::fromLocal8Bit(argv[4]) : QString();

  TfmMain window;
  QFileDialog* browser = window.SelectFolderDialog1->Dialog();
  window.Presenter().SetShower([](const MessageBoxRequest& box) {
    std::fprintf(stderr, "%s\n", quenText::ToUtf8(box.text).c_str());
    return MBox::kIdOk;
  });
  QObject::connect(&window, &TfmMain::RunEnded, &window, [&] {
    bool saved = Save(window.grab().toImage(), output);
    if (saved && !browserOutput.isEmpty()) {
      WhenUp(browser, [&] {
        saved = Save(BrowserOverWindow(window, *browser), browserOutput);
        browser->reject();
      });
      window.ui.actSrcFolderSelect->trigger();
    }
    if (saved && !findings.isEmpty()) {
      SaveFindingsShot(window, findings);  // ends the event loop itself
      return;
    }
    QCoreApplication::exit(saved ? 0 : 1);
  });
  window.show();
  QTimer::singleShot(0, &window, [&] {
    WhenUp(browser, [&] {
      browser->setDirectory(QFileInfo(folder).absolutePath());
      browser->selectFile(folder);
      static_cast<QDialog*>(browser)->accept();
    });
    window.ui.actSrcFolderSelect->trigger();
    if (!window.ui.actConvStart->isEnabled()) {
      std::fprintf(stderr, "nothing to convert\n");
      QCoreApplication::exit(1);
      return;
    }
    window.ui.actConvStart->trigger();
  });
  return app.exec();
}
